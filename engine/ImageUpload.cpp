#include <algorithm>
#include <string>

#include "engine/SpeakerNetwork.h"
#include "platform/Trace.h"
#include "protocol/Commands.h"

namespace flashdesk {

namespace {

constexpr std::int32_t kStartPauseMs = 1000;
constexpr int kStartReads = 4;
constexpr std::int32_t kReadPauseMs = 100;
constexpr std::int32_t kBlockPauseMs = 100;
constexpr std::int32_t kTailPauseMs = 500;
constexpr int kTailReads = 8;
constexpr std::int32_t kVerdictPauseMs = 1;
constexpr std::int32_t kFirstBlockPercent = 1;
constexpr std::int32_t kLastBlockPercent = 98;

}  // namespace

bool SpeakerNetwork::OpenImage(const std::string& path) {
  imageProblem.clear();
  std::string problem;
  std::int64_t payload = 0;
  if (imageFile.Open(path, problem)) {
    payload = imageFile.Length() - kHeaderBytes;
    if (payload < 1) {
      problem = "too short: " + std::to_string(imageFile.Length()) +
                " bytes hold no payload after the 7-byte header";
    } else if (payload > kLargestPayload) {
      problem = "too long: a payload of " + std::to_string(payload) + " bytes exceeds " +
                std::to_string(kLargestPayload);
    } else if (imageFile.Read(imageHeader, kHeaderBytes) != kHeaderBytes) {
      problem = "the header could not be read";
    } else if (imageHeader[0] > 0x7F || imageHeader[1] > 0x7F || imageHeader[2] > 0x7F) {
      // Header bytes 0 to 2 travel unchanged inside a 7-bit frame.
      problem = "header bytes 0 to 2 must be below 0x80";
    }
  }
  if (!problem.empty()) {
    NoteImageProblem(path + ": " + problem);
    return false;
  }
  payloadLength = static_cast<std::int32_t>(payload);
  return true;
}

void SpeakerNetwork::NoteImageProblem(const std::string& problem) {
  CloseImage();
  imageProblem = problem;
  platform::Trace("Image : " + problem + "\n");
}

void SpeakerNetwork::CloseImage() {
  imageFile.Close();
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
  const std::uint64_t position = static_cast<std::uint64_t>(imageFile.Position());
  const std::uint64_t percent = position * 100 / static_cast<std::uint64_t>(payloadLength);
  ReportProgress(static_cast<std::int32_t>(
      std::clamp<std::uint64_t>(percent, kFirstBlockPercent, kLastBlockPercent)));
}

bool SpeakerNetwork::PortGone() {
  if (!port.Device().DeviceGone())
    return false;
  // Writing on would only waste the rest of the image; the speakers that were ready stay
  // without their DONE in the report.
  platform::Trace("Upload : port gone, attempt ended\n");
  CloseImage();
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
    services.clock.SleepMs(kReadPauseMs);
  }
  return heard;
}

bool SpeakerNetwork::Upload(const std::string& path, std::int32_t savedPort) {
  ReportProgress(0);
  attemptsMade = 0;
  const Hold hold(*this, kLockLimitMs);
  if (!hold.Held())
    return false;

  std::int32_t extraDelay = 0;
  std::int64_t heardBytes = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    events.Clear();
    // No network was found: nothing to send to.
    if (savedPort == -1 && !pinnedPath)
      continue;
    ++attemptsMade;
    switch (RunAttempt(path, extraDelay, heardBytes)) {
      case AttemptEnd::kStopped:
        return false;
      case AttemptEnd::kClean:
        services.clock.SleepMs(kVerdictPauseMs);
        return true;
      case AttemptEnd::kTransferError:
        ++extraDelay;
        break;
    }
  }
  return false;
}

SpeakerNetwork::AttemptEnd SpeakerNetwork::RunAttempt(const std::string& path,
                                                      std::int32_t extraDelay,
                                                      std::int64_t& heardBytes) {
  port.FlushInput();
  Reset();
  ReportProgress(kFirstBlockPercent);
  if (!OpenImage(path))
    return AttemptEnd::kStopped;
  port.FlushInput();
  if (!StartTransfer(heardBytes) || !SendBlocks(path, extraDelay))
    return AttemptEnd::kStopped;
  CollectTail(heardBytes);
  return events.ErrorCount() > 0 ? AttemptEnd::kTransferError : AttemptEnd::kClean;
}

bool SpeakerNetwork::StartTransfer(std::int64_t& heardBytes) {
  WriteUploadStart(txFrame, imageHeader, BlockSizeFor(imageHeader[0]), payloadLength);
  Send(kUploadStart, kEverySpeaker);
  if (PortGone())
    return false;
  services.clock.SleepMs(kStartPauseMs);
  heardBytes += CollectPaced(kStartReads);
  // Not a byte, not even noise: nobody listens, and no retry will change that.
  if (heardBytes == 0) {
    CloseImage();
    return false;
  }
  return true;
}

bool SpeakerNetwork::SendBlocks(const std::string& path, std::int32_t extraDelay) {
  std::uint8_t sequence = 0;
  while (!imageFile.AtEnd()) {
    if (abortRequested) {
      CloseImage();
      return false;
    }
    if (!SendNextDataBlock(sequence)) {
      NoteImageProblem(path + ": changed or unreadable during the upload");
      return false;
    }
    if (PortGone())
      return false;
    sequence = (sequence + 1) & 0x7F;
    services.clock.SleepMs(kBlockPauseMs + extraDelay);
    CollectStatusReplies();
    ReportBlockProgress();
    if (events.HasError())
      break;
  }
  return true;
}

void SpeakerNetwork::CollectTail(std::int64_t& heardBytes) {
  CloseImage();
  services.clock.SleepMs(kTailPauseMs);
  heardBytes = CollectPaced(kTailReads);
}

}  // namespace flashdesk
