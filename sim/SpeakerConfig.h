#pragma once

#include <cstdint>
#include <vector>

#include "protocol/SpeakerRecord.h"

namespace flashdesk::sim {

enum class SpeakerMode { kApplication, kBoot };

// A status code a speaker answers instead of storing a data block: block `block` (0 for the
// first block after an upload start) of attempt `attempt` (1 for the first upload start the
// speaker hears).
struct InjectedError {
  std::int32_t attempt = 1;
  std::int32_t block = 0;
  std::uint8_t code = 4;
};

// One simulated speaker as configured by a test or the command line.
struct SpeakerConfig {
  std::uint32_t serial = 0;  // 28 bits
  std::uint8_t type = 4;
  std::uint8_t reserved = 0;
  std::vector<SoftwareEntry> software;  // kind, major, minor; more than four are reported
  SpeakerMode mode = SpeakerMode::kBoot;
  // In Application mode the speaker ignores identification requests and uploads until a mode
  // command puts it in Boot mode.
  bool silentInApplication = false;
  // In Boot mode and not busy with an upload, the speaker sends FE 00 every
  // bootSignalPeriodMs, counted from when it entered Boot mode (0: never).
  std::int32_t bootSignalPeriodMs = 0;
  // Delay of its replies after the end of a request; -1 staggers by position on the bus.
  // Two speakers with the same delay answer in one burst.
  std::int32_t replyDelayMs = -1;

  // Faults.
  bool neverAnswers = false;    // obeys nothing and sends nothing
  bool ignoresUploads = false;  // answers identification, but not upload starts or blocks
  bool splitReplies = false;    // every reply goes out in two parts, kSplitGapMs apart
  bool answersTwice = false;    // every identification reply is repeated kRepeatGapMs later
  // From its first identification reply on, the speaker repeats that reply every
  // chatterPeriodMs without end (0: never); with chatterNewSerials each repeat carries the
  // next serial.
  std::int32_t chatterPeriodMs = 0;
  bool chatterNewSerials = false;
  std::int32_t garbledReplies = 0;  // this many first replies carry a wrong checksum
  std::vector<InjectedError> injectedErrors;
  // After this many data blocks of one attempt the whole bus vanishes (-1: never).
  std::int32_t vanishAfterBlocks = -1;
};

// What a speaker did with its uploads.
struct UploadProgress {
  bool active = false;    // between an accepted upload start and DONE or an error
  bool complete = false;  // the last upload ended with DONE
  std::uint8_t header[3] = {};
  std::int32_t blockSize = 0;
  std::int32_t payloadLength = 0;
  std::int32_t blocksReceived = 0;    // data blocks of the current attempt
  std::vector<std::uint8_t> payload;  // rebuilt from the blocks so far
};

// A speaker's state as a test sees it.
struct SpeakerState {
  SpeakerConfig config;
  SpeakerMode mode = SpeakerMode::kBoot;
  std::vector<SoftwareEntry> software;
  std::int32_t uploadAttempts = 0;  // upload starts heard
  UploadProgress upload;
  std::vector<std::uint8_t> statusCodes;   // status codes sent, in order
  std::int32_t identificationReplies = 0;  // identification replies sent
};

}  // namespace flashdesk::sim
