#include <algorithm>
#include <string>

#include "engine/Pacing.h"
#include "engine/SpeakerNetwork.h"
#include "log/ReplyCode.h"
#include "platform/Trace.h"
#include "protocol/Commands.h"

namespace flashdesk {

namespace {

constexpr std::int32_t kFirstBlockPercent = 1;
constexpr std::int32_t kLastBlockPercent = 98;

}  // namespace

void SpeakerNetwork::NoteImageProblem(const std::string& problem, std::string& imageProblem) {
  imageFile.Close();
  imageProblem = problem;
  platform::Trace("Image : " + problem + "\n");
}

bool SpeakerNetwork::SendNextDataBlock(std::uint8_t sequence) {
  std::uint8_t chunk[kFileBytesPerBlock] = {};
  const std::int64_t remaining = imageFile.Length() - imageFile.Position();
  const std::int32_t wanted =
      static_cast<std::int32_t>(std::min<std::int64_t>(kFileBytesPerBlock, remaining));
  const std::int32_t got = imageFile.Read(chunk, wanted);
  // A short read before the measured end means the file changed or failed: send nothing.
  if (got != wanted || got == 0)
    return false;
  WriteDataBlock(txFrame, sequence, chunk, got);
  Send(kDataBlock, kEverySpeaker);
  return true;
}

void SpeakerNetwork::ReportBlockProgress() {
  if (!progressTarget)
    return;
  progressTarget->ReportBlocks(blocks);
  const std::uint64_t position = static_cast<std::uint64_t>(imageFile.Position());
  const std::uint64_t percent =
      position * 100 / static_cast<std::uint64_t>(imageHead.payloadLength);
  ReportProgress(static_cast<std::int32_t>(
      std::clamp<std::uint64_t>(percent, kFirstBlockPercent, kLastBlockPercent)));
}

bool SpeakerNetwork::PortGone() {
  const platform::SerialFailure& failure = port.Device().LastFailure();
  if (!failure || failure->problem != platform::SerialProblem::kVanished)
    return false;
  // Writing on would only waste the rest of the image; the speakers that were ready stay
  // without their DONE in the report.
  platform::Trace("Upload : port gone, attempt ended\n");
  imageFile.Close();
  return true;
}

std::int32_t SpeakerNetwork::CollectStatusReplies() {
  const std::int32_t count = ReadIntoMessages();
  if (count > 0)
    messages.TakeStatusReplies(events);
  return count;
}

std::int64_t SpeakerNetwork::CollectPaced(int reads) {
  std::int64_t heard = 0;
  for (int read = 0; read < reads; ++read) {
    heard += CollectStatusReplies();
    services.clock.SleepMs(pacing::kReadPauseMs);
  }
  return heard;
}

UploadOutcome SpeakerNetwork::Upload(const std::string& path, std::int32_t savedPort) {
  ReportProgress(0);
  UploadOutcome outcome;
  const Hold hold(*this, kLockLimitMs);
  if (!hold.Held())
    return outcome;
  outcome.bus = Snapshot();

  std::int32_t extraDelay = 0;
  std::int64_t heardBytes = 0;
  for (int attempt = 0; attempt < kAttempts && !outcome.done; ++attempt) {
    events.Clear();
    // No network was found, or its port is held by another program: nothing to send to.
    if ((savedPort == -1 && !pinnedPath) || !PortIsOpen())
      continue;
    ++outcome.attempts;
    const AttemptEnd end = RunAttempt(path, extraDelay, heardBytes, outcome);
    std::vector<LogEvent>& errors = outcome.attemptErrors.emplace_back();
    for (const LogEvent& event : events.Events()) {
      if (IsTransferError(event.code))
        errors.push_back(event);
    }
    platform::Trace("Upload : attempt " + std::to_string(outcome.attempts) + " sent " +
                    std::to_string(outcome.blocksSent) + " of " +
                    std::to_string(outcome.dataBlocks) + " blocks, " +
                    std::to_string(events.Events().size()) + " replies, " +
                    std::to_string(errors.size()) + " transfer errors\n");
    if (end == AttemptEnd::kStopped)
      break;
    if (end == AttemptEnd::kClean) {
      services.clock.SleepMs(pacing::kVerdictPauseMs);
      outcome.done = true;
    } else {
      ++extraDelay;
    }
  }
  outcome.events = events.Events();
  outcome.stopped = abortRequested;
  return outcome;
}

SpeakerNetwork::AttemptEnd SpeakerNetwork::RunAttempt(const std::string& path,
                                                      std::int32_t extraDelay,
                                                      std::int64_t& heardBytes,
                                                      UploadOutcome& outcome) {
  port.FlushInput();
  Reset();
  ReportProgress(kFirstBlockPercent);
  std::string problem;
  if (!OpenSendableImage(imageFile, path, imageHead, problem)) {
    NoteImageProblem(path + ": " + problem, outcome.imageProblem);
    return AttemptEnd::kStopped;
  }
  port.FlushInput();
  blocks = {outcome.attempts, 0,
            (imageHead.payloadLength + kFileBytesPerBlock - 1) / kFileBytesPerBlock};
  const bool sent = StartTransfer(heardBytes) && SendBlocks(path, extraDelay, outcome.imageProblem);
  outcome.blocksSent = blocks.sent;
  outcome.dataBlocks = blocks.total;
  if (sent)
    CollectTail(heardBytes);
  imageFile.Close();
  outcome.sentSha256 = imageFile.Digest();
  if (!sent)
    return AttemptEnd::kStopped;
  return events.ErrorCount() > 0 ? AttemptEnd::kTransferError : AttemptEnd::kClean;
}

bool SpeakerNetwork::StartTransfer(std::int64_t& heardBytes) {
  WriteUploadStart(txFrame, imageHead.header, BlockSizeFor(imageHead.header[0]),
                   imageHead.payloadLength);
  Send(kUploadStart, kEverySpeaker);
  if (PortGone())
    return false;
  services.clock.SleepMs(pacing::kStartPauseMs);
  heardBytes += CollectPaced(pacing::kStartReads);
  // Not a byte, not even noise: nobody listens, and no retry will change that.
  if (heardBytes == 0) {
    imageFile.Close();
    return false;
  }
  return true;
}

bool SpeakerNetwork::SendBlocks(const std::string& path, std::int32_t extraDelay,
                                std::string& imageProblem) {
  std::uint8_t sequence = 0;
  while (!imageFile.AtEnd()) {
    if (abortRequested) {
      imageFile.Close();
      return false;
    }
    if (!SendNextDataBlock(sequence)) {
      NoteImageProblem(path + ": changed or unreadable during the upload", imageProblem);
      return false;
    }
    if (PortGone())
      return false;
    sequence = (sequence + 1) & 0x7F;
    ++blocks.sent;
    services.clock.SleepMs(pacing::kBlockPauseMs + extraDelay);
    CollectStatusReplies();
    ReportBlockProgress();
    if (events.HasError())
      break;
  }
  return true;
}

void SpeakerNetwork::CollectTail(std::int64_t& heardBytes) {
  imageFile.Close();
  services.clock.SleepMs(pacing::kTailPauseMs);
  heardBytes = CollectPaced(pacing::kTailReads);
}

}  // namespace flashdesk
