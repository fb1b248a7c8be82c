#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/SerialApi.h"
#include "platform/win32/Win32CommCalls.h"

namespace flashdesk::platform {

// Serial ports through the Windows communications calls, synchronous I/O. Thread-safe across
// devices.
class Win32SerialApi : public SerialApi {
 public:
  explicit Win32SerialApi(Win32CommCalls& calls) : calls(calls) {}

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
  struct Port {
    std::string path;
    COMMTIMEOUTS timeouts{};  // as last set
  };

  // Nothing when result is true, else the traced error of GetLastError.
  SerialFailure Checked(BOOL result, HANDLE file, const char* call);
  // Gives the port the time-outs of a read of count bytes that waits at most ms.
  SerialFailure UseReadTime(HANDLE file, std::uint32_t count, std::uint32_t ms);
  SerialFailure ReadWithin(HANDLE file, std::uint8_t* destination, std::uint32_t count,
                           std::uint32_t ms, std::uint32_t& got);
  SerialFailure SetLine(HANDLE file, const LineSettings& line);
  std::string PathOf(HANDLE file);
  void Remember(HANDLE file, const COMMTIMEOUTS& timeouts);
  void Forget(HANDLE file);

  Win32CommCalls& calls;
  std::mutex lock;
  std::map<HANDLE, Port> ports;
};

}  // namespace flashdesk::platform
