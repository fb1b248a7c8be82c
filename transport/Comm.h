#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/SerialApi.h"

namespace flashdesk {

// One serial port with the speaker bus's fixed line settings: 19200 baud 8N1, no flow
// control, DTR raised while open, one-byte reads that time out after 20 ms. Not thread-safe:
// the engine serialises every use. clock bounds the drains.
class Comm {
 public:
  // A drain of either direction gives up after this long, and FlushInput after discarding
  // kDrainLimitBytes, so a device that never stops talking cannot hold it.
  static constexpr std::int32_t kDrainLimitMs = 1000;
  static constexpr std::int32_t kDrainLimitBytes = 4096;

  explicit Comm(platform::SerialApi& api, platform::Clock& clock = platform::SystemClock());
  Comm(const Comm&) = delete;
  Comm& operator=(const Comm&) = delete;
  ~Comm();

  // Closes a port that is still open, then opens port N. False when it cannot be opened
  // (errors is then -1; PortInUse says whether another program holds it) or configured (the
  // port ends closed).
  bool Open(std::int16_t port);
  // The same for a device given by its path.
  bool OpenPath(const std::string& path);
  // Always true; a closed port stays unchanged.
  bool Close();
  // True when exactly one byte was read within the 20 ms time-out.
  bool ReadByte(std::uint8_t& destination);
  // Sends what is buffered, then discards input until the line is silent for 20 ms (within
  // the drain limits).
  void FlushInput();
  // Waits (at most kDrainLimitMs) for the previous output to leave the driver, then writes;
  // failures go to errors, and a device found gone to DeviceGone.
  void Write(const std::uint8_t* bytes, std::int32_t count);
  void ClearErrors() { errors = 0; }
  bool Configure();

  bool IsOpen() const { return isOpen; }
  std::uint32_t Errors() const { return errors; }
  // The last Open failed because another program holds the port.
  bool PortInUse() const { return portInUse; }
  // A write since the last Open failed because the device is gone.
  bool DeviceGone() const { return deviceGone; }

 private:
  // ORs the device's error flags into errors after a failed read or write.
  void AccumulateErrorFlags();

  platform::SerialApi& api;
  platform::Clock& clock;
  bool isOpen = false;
  bool portInUse = false;
  bool deviceGone = false;
  platform::DeviceHandle handle = platform::kInvalidHandle;
  std::uint32_t errors = 0;
};

}  // namespace flashdesk
