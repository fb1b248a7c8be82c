#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/SpeakerRecord.h"

namespace flashdesk::sim {

enum class SpeakerMode { kApplication, kBoot };

// One simulated speaker as configured by a test or the command line.
struct SpeakerConfig {
  std::uint32_t serial = 0;  // 28 bits
  std::uint8_t type = 4;
  std::uint8_t reserved = 0;
  std::vector<SoftwareEntry> software;  // kind, major, minor
  SpeakerMode mode = SpeakerMode::kBoot;
  // In Application mode the speaker ignores identification requests until a mode command
  // puts it in Boot mode.
  bool silentInApplication = false;
  // In Boot mode the speaker sends FE 00 every bootSignalPeriodMs (0: never).
  std::int32_t bootSignalPeriodMs = 0;
  // Delay of its replies after the end of a request; -1 staggers by position on the bus.
  std::int32_t replyDelayMs = -1;
};

// A frame the bus received from the PC, with its time and decoded fields.
struct RecordedFrame {
  std::int64_t timeMs = 0;
  std::vector<std::uint8_t> bytes;  // the whole frame, F0 … F7
  std::uint8_t destination = 0;
  std::uint8_t command = 0;
  bool checksumOk = false;
  std::int32_t sequence = -1;  // data blocks only
};

// The speakers' side of the bus, independent of any transport: bytes written by the PC go
// into Receive, the speakers' answers come out of TakeOutput at the times they are due.
// Thread-safe: a transport thread and a test may use it at once.
class SpeakerBus {
 public:
  int AddSpeaker(const SpeakerConfig& config);
  void Receive(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs);
  // Time of the earliest byte waiting to be sent, if any.
  std::optional<std::int64_t> NextOutputTime(std::int64_t nowMs);
  // Appends the bytes due at or before nowMs.
  void TakeOutput(std::int64_t nowMs, std::vector<std::uint8_t>& out);
  std::vector<RecordedFrame> Frames() const;
  // ... speaker state, rebuilt images, fault injection
};

}  // namespace flashdesk::sim
