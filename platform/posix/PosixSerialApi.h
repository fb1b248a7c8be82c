#pragma once

#include <termios.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/SerialApi.h"

namespace flashdesk::platform {

// Serial devices through termios and poll. A device is opened non-blocking and held
// exclusively (TIOCEXCL, and a lock that binds root too); its terminal settings are restored
// when it is closed. Thread-safe across devices.
class PosixSerialApi : public SerialApi {
 public:
  SerialFailure Open(const std::string& path, const LineSettings& line,
                     DeviceHandle& handle) override;
  SerialFailure Read(DeviceHandle handle, std::uint8_t* destination, std::uint32_t count,
                     ReadTimeouts timeouts, std::uint32_t& got) override;
  SerialFailure Write(DeviceHandle handle, const std::uint8_t* bytes, std::uint32_t count,
                      std::uint32_t& written) override;
  SerialFailure Drain(DeviceHandle handle) override;
  SerialFailure Discard(DeviceHandle handle, Queues queues) override;
  SerialFailure SetDtr(DeviceHandle handle, bool raised) override;
  SerialFailure QueuedOutput(DeviceHandle handle, std::uint32_t& queued,
                             LineErrors& errors) override;
  SerialFailure TakeLineErrors(DeviceHandle handle, LineErrors& errors) override;
  SerialFailure Close(DeviceHandle handle) override;

 private:
  struct Device {
    std::string path;
    termios saved{};  // as the device was before Open
  };

  // The descriptor of an open device, or -1 with the failure (EBADF) in failure.
  int Known(DeviceHandle handle, SerialFailure& failure);
  // Traces the failed call with code and the device's path.
  SerialError Failed(int fd, const char* call, int code);

  std::mutex lock;
  std::map<int, Device> devices;
};

// Raw termios for the line settings; false for settings a terminal cannot hold.
bool MakeRawTermios(const LineSettings& line, termios& options);

}  // namespace flashdesk::platform
