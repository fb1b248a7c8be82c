#include "sim/SimulatedSpeaker.h"

#include <algorithm>

#include "protocol/Commands.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"

namespace flashdesk::sim {

namespace {

constexpr std::size_t kUploadStartPayload = 9;
constexpr std::size_t kBlockFieldsBeforeNibbles = 3;  // sequence and the two length groups

}  // namespace

SimulatedSpeaker::SimulatedSpeaker(const SpeakerConfig& config, int position)
    : replyDelayMs(config.replyDelayMs >= 0 ? config.replyDelayMs
                                            : kFirstReplyDelayMs + kReplyStaggerMs * position),
      garbledLeft(config.garbledReplies) {
  state.config = config;
  state.mode = config.mode;
  state.software = config.software;
}

bool SimulatedSpeaker::Hears() const {
  return !state.config.neverAnswers &&
         !(state.mode == SpeakerMode::kApplication && state.config.silentInApplication);
}

void SimulatedSpeaker::Handle(const CommandFrame& frame, std::int64_t nowMs,
                              std::vector<PendingReply>& replies) {
  if (state.config.neverAnswers || vanished) {
    return;
  }
  if (frame.command == kModeCommand) {
    // Mode commands are obeyed whether sent to every speaker or after the boot signal.
    if (frame.checksumOk && frame.payload.size() == 1) {
      if (frame.payload[0] == kBootMode) {
        SetMode(SpeakerMode::kBoot, nowMs);
      } else if (frame.payload[0] == kApplicationMode) {
        SetMode(SpeakerMode::kApplication, nowMs);
      }
    }
    return;
  }
  if (!Hears() || (state.config.ignoresUploads && frame.command != kIdentifyRequest)) {
    return;
  }
  switch (frame.command) {
    case kIdentifyRequest:
      if (frame.checksumOk && frame.payload.empty()) {
        state.upload.active = false;
        ++state.identificationReplies;
        const std::vector<std::uint8_t> reply = IdentificationReplyFrame(
            0x00, state.config.serial, state.config.type, state.config.reserved, state.software);
        Answer(reply, replies);
        if (state.config.chatterPeriodMs > 0 && chatterSinceMs < 0) {
          chatterSinceMs = nowMs + replyDelayMs;
        }
        if (state.config.answersTwice) {
          std::vector<PendingReply> again;
          Answer(reply, again);
          for (PendingReply& part : again) {
            part.delayMs += kRepeatGapMs;
            replies.push_back(std::move(part));
          }
        }
      }
      break;
    case kUploadStart:
      StartUpload(frame, replies);
      break;
    case kDataBlock:
      ReceiveBlock(frame, replies);
      break;
    default:
      break;
  }
}

void SimulatedSpeaker::SetMode(SpeakerMode mode, std::int64_t nowMs) {
  if (mode == SpeakerMode::kBoot && state.mode != SpeakerMode::kBoot) {
    bootModeSinceMs = nowMs;
  }
  state.mode = mode;
  state.upload.active = false;
}

namespace {

// The first time at or after fromMs that lies a whole number (at least one) of periods
// after sinceMs.
std::int64_t NextPeriod(std::int64_t sinceMs, std::int64_t period, std::int64_t fromMs) {
  const std::int64_t since = fromMs - sinceMs;
  const std::int64_t periods = std::max<std::int64_t>(1, (since + period - 1) / period);
  return sinceMs + periods * period;
}

}  // namespace

std::int64_t SimulatedSpeaker::NextPeriodicOutput(std::int64_t fromMs) const {
  const std::int64_t bootSignal = NextBootSignal(fromMs);
  const std::int64_t chatter = NextChatter(fromMs);
  if (bootSignal < 0 || chatter < 0) {
    return std::max(bootSignal, chatter);
  }
  return std::min(bootSignal, chatter);
}

std::vector<std::uint8_t> SimulatedSpeaker::PeriodicOutputAt(std::int64_t atMs) const {
  std::vector<std::uint8_t> bytes;
  if (NextBootSignal(atMs) == atMs) {
    bytes = {kBootSignalFirst, kBootSignalSecond};
  }
  if (NextChatter(atMs) == atMs) {
    const std::int64_t repeat = (atMs - chatterSinceMs) / state.config.chatterPeriodMs;
    const std::uint32_t serial =
        state.config.serial +
        (state.config.chatterNewSerials ? static_cast<std::uint32_t>(repeat) : 0);
    const std::vector<std::uint8_t> reply = IdentificationReplyFrame(
        0x00, serial & 0x0FFFFFFF, state.config.type, state.config.reserved, state.software);
    bytes.insert(bytes.end(), reply.begin(), reply.end());
  }
  return bytes;
}

std::int64_t SimulatedSpeaker::NextChatter(std::int64_t fromMs) const {
  if (chatterSinceMs < 0 || vanished) {
    return -1;
  }
  return NextPeriod(chatterSinceMs, state.config.chatterPeriodMs, fromMs);
}

std::int64_t SimulatedSpeaker::NextBootSignal(std::int64_t fromMs) const {
  const std::int64_t period = state.config.bootSignalPeriodMs;
  if (period <= 0 || state.mode != SpeakerMode::kBoot || state.upload.active ||
      state.config.neverAnswers || vanished) {
    return -1;
  }
  return NextPeriod(bootModeSinceMs, period, fromMs);
}

void SimulatedSpeaker::Answer(std::vector<std::uint8_t> frame, std::vector<PendingReply>& replies) {
  if (garbledLeft > 0) {
    --garbledLeft;
    frame[frame.size() - 2] ^= 0x01;  // the checksum byte
  }
  if (!state.config.splitReplies) {
    replies.push_back({replyDelayMs, std::move(frame)});
    return;
  }
  const auto half = static_cast<std::ptrdiff_t>(frame.size() / 2);
  replies.push_back({replyDelayMs, std::vector<std::uint8_t>(frame.begin(), frame.begin() + half)});
  replies.push_back(
      {replyDelayMs + kSplitGapMs, std::vector<std::uint8_t>(frame.begin() + half, frame.end())});
}

void SimulatedSpeaker::AnswerStatus(std::uint8_t code, std::vector<PendingReply>& replies) {
  state.statusCodes.push_back(code);
  Answer(StatusReplyFrame(0x00, state.config.serial, code), replies);
}

void SimulatedSpeaker::StartUpload(const CommandFrame& frame, std::vector<PendingReply>& replies) {
  if (!frame.checksumOk || frame.payload.size() != kUploadStartPayload) {
    return;  // not a start we can read: stay silent, as after a line fault
  }
  ++state.uploadAttempts;
  UploadProgress& upload = state.upload;
  upload = UploadProgress{};
  std::copy(frame.payload.begin(), frame.payload.begin() + 3, upload.header);
  upload.blockSize = static_cast<std::int32_t>(UnpackGroups(frame.payload.data() + 3, 3));
  upload.payloadLength = static_cast<std::int32_t>(UnpackGroups(frame.payload.data() + 6, 3));

  const std::uint8_t model = upload.header[1];
  const std::uint8_t kind = upload.header[2];
  const bool modelFits =
      model == state.config.type || (model == kAnyModel && kind != kKindApplication);
  if (!modelFits || kind > kKindApplication || upload.payloadLength < kVersionBytes) {
    AnswerStatus(kReplyTypeError, replies);
    return;
  }
  if (upload.blockSize != BlockSizeFor(upload.header[0])) {
    AnswerStatus(kReplySectorError, replies);
    return;
  }
  upload.active = true;
  AnswerStatus(kReplyReady, replies);
}

int SimulatedSpeaker::CheckBlock(const CommandFrame& frame,
                                 std::vector<std::uint8_t>& bytes) const {
  const UploadProgress& upload = state.upload;
  const std::vector<std::uint8_t>& payload = frame.payload;
  if (!frame.checksumOk) {
    return kReplyChecksumError;
  }
  if (payload.size() < kBlockFieldsBeforeNibbles + 1 ||
      payload[0] != (upload.blocksReceived & 0x7F)) {
    return kReplyCountError;
  }
  const std::size_t lengthField = UnpackGroups(payload.data() + 1, 2);
  const std::size_t nibblesAndChecksum = payload.size() - kBlockFieldsBeforeNibbles;
  if (lengthField != nibblesAndChecksum || lengthField % 2 == 0 || lengthField < 3) {
    return kReplyCountError;
  }
  const std::uint8_t* nibbles = payload.data() + kBlockFieldsBeforeNibbles;
  const std::size_t n = (lengthField - 1) / 2;
  bytes.clear();
  for (std::size_t i = 0; i < n; ++i) {
    if (nibbles[2 * i] > 0x0F || nibbles[2 * i + 1] > 0x0F) {
      return kReplyChecksumError;
    }
    bytes.push_back(static_cast<std::uint8_t>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]));
  }
  if (DataChecksum(bytes.data(), static_cast<std::int32_t>(n)) != nibbles[2 * n]) {
    return kReplyChecksumError;
  }
  if (upload.payload.size() + n > static_cast<std::size_t>(upload.payloadLength)) {
    return kReplyCountError;
  }
  for (const InjectedError& error : state.config.injectedErrors) {
    if (error.attempt == state.uploadAttempts && error.block == upload.blocksReceived) {
      return error.code;
    }
  }
  return -1;
}

void SimulatedSpeaker::ReceiveBlock(const CommandFrame& frame, std::vector<PendingReply>& replies) {
  UploadProgress& upload = state.upload;
  if (!upload.active) {
    return;
  }
  std::vector<std::uint8_t> bytes;
  const int fault = CheckBlock(frame, bytes);
  ++upload.blocksReceived;
  if (state.config.vanishAfterBlocks >= 0 &&
      upload.blocksReceived >= state.config.vanishAfterBlocks) {
    vanished = true;
    return;
  }
  if (fault >= 0) {
    upload.active = false;
    AnswerStatus(static_cast<std::uint8_t>(fault), replies);
    return;
  }
  upload.payload.insert(upload.payload.end(), bytes.begin(), bytes.end());
  if (upload.payload.size() == static_cast<std::size_t>(upload.payloadLength)) {
    upload.active = false;
    upload.complete = true;
    InstallUploadedSoftware();
    AnswerStatus(kReplyDone, replies);
  }
}

void SimulatedSpeaker::InstallUploadedSoftware() {
  const std::uint8_t catalogKind = state.upload.header[2];
  const std::uint8_t kind = catalogKind == kKindApplication ? state.config.type : catalogKind;
  const SoftwareEntry installed{kind, state.upload.payload[0], state.upload.payload[1]};
  for (SoftwareEntry& entry : state.software) {
    if (entry.kind == kind) {
      entry = installed;
      return;
    }
  }
  state.software.push_back(installed);
}

}  // namespace flashdesk::sim
