#pragma once

#include <cstdint>
#include <optional>
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

  // Closes a port that is still open, then opens port N. False when it cannot be opened with
  // the bus's settings: errors is then -1 and LastFailure says why.
  bool Open(std::int16_t port);
  // The same for a device given by its path.
  bool OpenPath(const std::string& path);
  // Always true; a closed port stays unchanged. A port that saw errors traces its error word.
  bool Close();
  // True when exactly one byte was read within the 20 ms time-out.
  bool ReadByte(std::uint8_t& destination);
  // Sends what is buffered, then discards input until the line is silent for 20 ms (within
  // the drain limits).
  void FlushInput();
  // Waits (at most kDrainLimitMs) for the previous output to leave the driver, then writes;
  // failures go to errors and LastFailure.
  void Write(const std::uint8_t* bytes, std::int32_t count);
  void ClearErrors() { errors = 0; }

  bool IsOpen() const { return isOpen; }
  // The line's error flags OR-ed since ClearErrors, -1 after a failed open, the system's code
  // after a failed close: for diagnosis.
  std::uint32_t Errors() const { return errors; }
  // The last failed call since the last Open (that Open's own when it failed).
  const platform::SerialFailure& LastFailure() const { return lastFailure; }

 private:
  // Keeps failure as the last one; true when there was one.
  bool Note(platform::SerialFailure failure);
  void AddErrors(platform::LineErrors flags);
  // ORs the device's error flags into errors after a failed read or write.
  void AccumulateErrorFlags();

  platform::SerialApi& api;
  platform::Clock& clock;
  bool isOpen = false;
  platform::DeviceHandle handle = platform::kInvalidHandle;
  std::string path;
  std::uint32_t errors = 0;
  bool sawErrors = false;  // since the port was opened
  platform::SerialFailure lastFailure;
};

}  // namespace flashdesk
