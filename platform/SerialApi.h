#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemError.h"

namespace flashdesk::platform {

using DeviceHandle = std::intptr_t;
constexpr DeviceHandle kInvalidHandle = -1;

enum class Parity { kNone, kOdd, kEven };
enum class StopBits { kOne, kTwo };
enum class FlowControl { kNone, kHardware, kSoftware };  // RTS/CTS, XON/XOFF

struct LineSettings {
  std::uint32_t baudRate = 19200;
  std::uint8_t dataBits = 8;  // 5 to 8
  Parity parity = Parity::kNone;
  StopBits stopBits = StopBits::kOne;
  FlowControl flowControl = FlowControl::kNone;
};

// How long a read waits for its first byte, and for all of them (firstByteMs <= totalMs).
struct ReadTimeouts {
  std::uint32_t firstByteMs = 0;
  std::uint32_t totalMs = 0;
};

enum class Queues { kInput, kOutput, kBoth };

// Error flags that the driver counted on the line (Windows' CE_ bits; POSIX reports none).
using LineErrors = std::uint32_t;

// A write gives up, short, after this long per byte plus kWriteSlackMs: several times what a
// byte takes at 19200 baud, so only a stalled line runs into it.
constexpr std::uint32_t kWriteMsPerByte = 2;
constexpr std::uint32_t kWriteSlackMs = 10;

// The operations of a serial port that Comm makes. Each returns the error of the failed
// system call, already traced, or nothing. Every call blocks the calling thread at most for its
// time-outs, except Drain and QueuedOutput, which wait until the driver has sent its output.
// One thread at a time uses a device.
class SerialApi {
 public:
  virtual ~SerialApi() = default;

  // The path that Open is given for port N: the template set with SetPortTemplate, else the
  // environment's (see PortTemplate.h; a bad one is traced and the default used).
  virtual std::string PortPath(std::int16_t port);
  // Makes PortPath use pattern instead of the environment's template; false, with nothing
  // changed, when pattern is not a template. Call before the first open.
  bool SetPortTemplate(const std::string& pattern);

  // Opens the device for exclusive use with the line settings; handle stays kInvalidHandle
  // when it fails, and a device that opened but refused the settings is closed again.
  virtual SerialFailure Open(const std::string& path, const LineSettings& line,
                             DeviceHandle& handle) = 0;
  // Reads up to count bytes; got is the number read, and a read that times out is no failure.
  virtual SerialFailure Read(DeviceHandle handle, std::uint8_t* destination, std::uint32_t count,
                             ReadTimeouts timeouts, std::uint32_t& got) = 0;
  // Writes within the write time-out; written says how far it came.
  virtual SerialFailure Write(DeviceHandle handle, const std::uint8_t* bytes, std::uint32_t count,
                              std::uint32_t& written) = 0;
  // Waits until the driver has sent its output queue.
  virtual SerialFailure Drain(DeviceHandle handle) = 0;
  virtual SerialFailure Discard(DeviceHandle handle, Queues queues) = 0;
  virtual SerialFailure SetDtr(DeviceHandle handle, bool raised) = 0;
  // The bytes still in the driver's output queue, and the line errors since they were last
  // taken. When bytes wait it first drains them, so that callers asking until the queue is
  // empty do not spin.
  virtual SerialFailure QueuedOutput(DeviceHandle handle, std::uint32_t& queued,
                                     LineErrors& errors) = 0;
  // The line errors since they were last taken.
  virtual SerialFailure TakeLineErrors(DeviceHandle handle, LineErrors& errors) = 0;
  virtual SerialFailure Close(DeviceHandle handle) = 0;

 private:
  std::string portTemplate;
};

// The operating system's serial devices.
SerialApi& SystemSerialApi();

}  // namespace flashdesk::platform
