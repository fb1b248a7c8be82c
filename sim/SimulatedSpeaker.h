#pragma once

#include <cstdint>
#include <vector>

#include "sim/SpeakerConfig.h"

namespace flashdesk::sim {

// A command frame the PC sent, decoded.
struct CommandFrame {
  std::uint8_t destination = 0;
  std::uint8_t command = 0;
  std::vector<std::uint8_t> payload;  // frame offsets 3 to N - 3
  bool checksumOk = false;
};

// Bytes a speaker sends, delayMs after the end of the request that caused them.
struct PendingReply {
  std::int32_t delayMs = 0;
  std::vector<std::uint8_t> bytes;
};

// One speaker of the bus: answers identification, follows mode commands, receives uploads
// block by block and reports with status codes. Timing is relative to the request; the bus
// turns it into absolute times. Not thread-safe; the bus serialises it.
class SimulatedSpeaker {
 public:
  static constexpr std::int32_t kFirstReplyDelayMs = 15;
  static constexpr std::int32_t kReplyStaggerMs = 30;
  static constexpr std::int32_t kSplitGapMs = 25;
  static constexpr std::int32_t kRepeatGapMs = 25;

  SimulatedSpeaker(const SpeakerConfig& config, int position);

  // Handles one frame from the PC at nowMs and appends what the speaker answers.
  void Handle(const CommandFrame& frame, std::int64_t nowMs, std::vector<PendingReply>& replies);
  // The next time at or after fromMs when the speaker sends something unasked (its boot
  // signal or its chatter), or -1; PeriodicOutputAt gives what it sends then.
  std::int64_t NextPeriodicOutput(std::int64_t fromMs) const;
  std::vector<std::uint8_t> PeriodicOutputAt(std::int64_t atMs) const;
  // True once the speaker's vanishing fault has fired.
  bool HasVanished() const { return vanished; }
  const SpeakerState& State() const { return state; }

 private:
  bool Hears() const;
  std::int64_t NextBootSignal(std::int64_t fromMs) const;
  std::int64_t NextChatter(std::int64_t fromMs) const;
  void SetMode(SpeakerMode mode, std::int64_t nowMs);
  void Answer(std::vector<std::uint8_t> frame, std::vector<PendingReply>& replies);
  void AnswerStatus(std::uint8_t code, std::vector<PendingReply>& replies);
  void StartUpload(const CommandFrame& frame, std::vector<PendingReply>& replies);
  void ReceiveBlock(const CommandFrame& frame, std::vector<PendingReply>& replies);
  // The code for a damaged or out-of-order block, or -1 when the block is sound.
  int CheckBlock(const CommandFrame& frame, std::vector<std::uint8_t>& bytes) const;
  void InstallUploadedSoftware();

  SpeakerState state;
  std::int32_t replyDelayMs;
  std::int64_t bootModeSinceMs = 0;
  std::int64_t chatterSinceMs = -1;  // when the first identification reply went out
  std::int32_t garbledLeft;
  bool vanished = false;
};

}  // namespace flashdesk::sim
