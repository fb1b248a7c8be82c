#pragma once

#include <cstdint>

// The fixed pauses and read counts that pace an upload on the bus, in milliseconds.
namespace flashdesk::pacing {

constexpr std::int32_t kStartPauseMs = 1000;
constexpr int kStartReads = 4;
constexpr std::int32_t kReadPauseMs = 100;
constexpr std::int32_t kBlockPauseMs = 100;
constexpr std::int32_t kTailPauseMs = 500;
constexpr int kTailReads = 8;
constexpr std::int32_t kVerdictPauseMs = 1;
// A burst read, and discarding stale input, end after this long without a byte: the port's
// one-byte read time-out.
constexpr std::int32_t kSilenceMs = 20;

// Each data block: its pause, then a read that ends after the silence time-out.
constexpr std::int64_t kBlockMs = kBlockPauseMs + kSilenceMs;
constexpr std::int64_t kQuietReadMs = kSilenceMs + kReadPauseMs;

// What an attempt takes after its last block: the tail's pause and reads, and the verdict.
constexpr std::int64_t TailMilliseconds() {
  return kTailPauseMs + kTailReads * kQuietReadMs + kVerdictPauseMs;
}

// One upload attempt of dataBlocks blocks when every speaker answers at once: the pauses of
// the start, each block and the tail, and each read or discard of input (two per attempt)
// that ends after its silence time-out.
constexpr std::int64_t AttemptMilliseconds(std::int64_t dataBlocks) {
  constexpr std::int64_t kInputDiscards = 2;
  return kInputDiscards * kSilenceMs + kStartPauseMs + kStartReads * kQuietReadMs +
         dataBlocks * kBlockMs + TailMilliseconds();
}

}  // namespace flashdesk::pacing
