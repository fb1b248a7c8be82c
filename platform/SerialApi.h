#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemError.h"

namespace flashdesk::platform {

using DeviceHandle = std::intptr_t;
constexpr DeviceHandle kInvalidHandle = -1;

// Read and write time-outs in milliseconds, with the meaning of the Windows COMMTIMEOUTS block.
struct Timeouts {
  std::uint32_t readIntervalTimeout = 0;
  std::uint32_t readTotalTimeoutMultiplier = 0;
  std::uint32_t readTotalTimeoutConstant = 0;
  std::uint32_t writeTotalTimeoutMultiplier = 0;
  std::uint32_t writeTotalTimeoutConstant = 0;
};

// Line settings with the meaning of the Windows device-control block (DCB).
struct LineSettings {
  std::uint32_t baudRate = 0;
  std::uint8_t byteSize = 8;
  std::uint8_t parity = 0;    // 0 none
  std::uint8_t stopBits = 0;  // 0 one stop bit
  bool binary = true;
  bool parityCheck = false;
  bool outxCtsFlow = false;
  bool outxDsrFlow = false;
  std::uint8_t dtrControl = 0;  // 0 disable
  bool dsrSensitivity = false;
  std::uint8_t rtsControl = 0;  // 0 disable
  bool outX = false;
  bool inX = false;
  char xonChar = 0x11;
  char xoffChar = 0x13;
  std::uint16_t xonLim = 0;
  std::uint16_t xoffLim = 0;
};

constexpr std::uint32_t kPurgeTxAbort = 0x01;
constexpr std::uint32_t kPurgeRxAbort = 0x02;
constexpr std::uint32_t kPurgeTxClear = 0x04;
constexpr std::uint32_t kPurgeRxClear = 0x08;

// The handful of serial-device calls that Comm makes. Every call blocks the calling thread at
// most for the time-outs set on the device, except Drain and ClearErrors with an output-queue
// request, which wait until the driver has sent its output. Not thread-safe: one thread at a
// time uses a device.
class SerialApi {
 public:
  virtual ~SerialApi() = default;

  // The path that Open is given for port N: the template set with SetPortTemplate, else the
  // environment's (see PortTemplate.h; a bad one is traced and the default used).
  virtual std::string PortPath(std::int16_t port);
  // Makes PortPath use pattern instead of the environment's template; false, with nothing
  // changed, when pattern is not a template. Call before the first open.
  bool SetPortTemplate(const std::string& pattern);

  // Opens the device for exclusive read and write. kInvalidHandle when it cannot be opened;
  // the reason goes to the trace.
  virtual DeviceHandle Open(const std::string& path) = 0;
  virtual bool SetupQueues(DeviceHandle handle, std::uint32_t inputSize,
                           std::uint32_t outputSize) = 0;
  virtual bool GetTimeouts(DeviceHandle handle, Timeouts& timeouts) = 0;
  virtual bool SetTimeouts(DeviceHandle handle, const Timeouts& timeouts) = 0;
  virtual bool GetLineSettings(DeviceHandle handle, LineSettings& settings) = 0;
  virtual bool SetLineSettings(DeviceHandle handle, const LineSettings& settings) = 0;
  virtual bool SetDtr(DeviceHandle handle, bool raised) = 0;
  virtual bool SetEventMask(DeviceHandle handle, std::uint32_t mask) = 0;
  virtual bool Purge(DeviceHandle handle, std::uint32_t flags) = 0;
  // Reads up to count bytes within the read time-outs; got is the number read (0 on time-out).
  virtual bool Read(DeviceHandle handle, std::uint8_t* destination, std::uint32_t count,
                    std::uint32_t& got) = 0;
  virtual bool Write(DeviceHandle handle, const std::uint8_t* bytes, std::uint32_t count,
                     std::uint32_t& written) = 0;
  // Waits until the driver has sent its buffered output.
  virtual bool Drain(DeviceHandle handle) = 0;
  // Returns and clears the communication-error flags. With outputQueue it also reports the
  // bytes still waiting in the driver's output queue.
  virtual bool ClearErrors(DeviceHandle handle, std::uint32_t& errorFlags,
                           std::uint32_t* outputQueue) = 0;
  virtual bool Close(DeviceHandle handle) = 0;
  // The code for the last failed call of the calling thread (errno or GetLastError).
  virtual std::int32_t LastError() = 0;
  // What a code of LastError means, for an implementation that keeps codes of its own.
  virtual bool IsPortInUse(std::int32_t code) { return IsPortInUseError(code); }
  virtual bool IsDeviceGone(std::int32_t code) { return IsDeviceGoneError(code); }

 private:
  std::string portTemplate;
};

// The operating system's serial devices.
SerialApi& SystemSerialApi();

}  // namespace flashdesk::platform
