#pragma once

#include <cstdint>
#include <string>

#include "transport/Comm.h"

namespace flashdesk {

// The engine's port: a Comm plus burst reads (framed commands go out through the protocol's
// SendCommand). Not thread-safe.
class SerialPort {
 public:
  static constexpr std::int32_t kMaxBurst = 1002;

  explicit SerialPort(platform::SerialApi& api, platform::Clock& clock = platform::SystemClock())
      : port(api, clock) {}

  bool Open(std::int16_t portNumber) { return port.Open(portNumber); }
  bool OpenPath(const std::string& path) { return port.OpenPath(path); }
  void Close() { port.Close(); }
  void FlushInput() { port.FlushInput(); }
  void ClearErrors() { port.ClearErrors(); }
  void Write(const std::uint8_t* bytes, std::int32_t count) { port.Write(bytes, count); }
  // Every byte that arrives with gaps shorter than 20 ms, at most kMaxBurst; destination holds
  // at least kMaxBurst bytes. 0 after about 20 ms of silence, at once on a closed port.
  std::int32_t ReadBurst(std::uint8_t* destination);

  const Comm& Device() const { return port; }

 private:
  Comm port;
};

}  // namespace flashdesk
