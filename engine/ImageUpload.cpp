#include <algorithm>
#include <cstring>
#include <string>

#include "engine/SpeakerNetwork.h"
#include "platform/Trace.h"

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

void SpeakerNetwork::SendUploadStart() {
  sequence = 0;
  std::uint8_t* payload = txFrame + 3;
  payload[0] = static_cast<std::uint8_t>(headerByte0);
  payload[1] = static_cast<std::uint8_t>(headerByte1);
  payload[2] = static_cast<std::uint8_t>(headerByte2);
  PackGroups(static_cast<std::uint32_t>(blockSize), 3, payload + 3);
  PackGroups(static_cast<std::uint32_t>(payloadLength), 3, payload + 6);
  payload[9] = kFrameEnd;
  Send(kUploadStart, kEverySpeaker);
}

bool SpeakerNetwork::SendNextDataBlock() {
  std::memset(chunk, 0, sizeof chunk);
  const std::int64_t remaining = imageFile.Length() - imageFile.Position();
  const std::int32_t wanted =
      static_cast<std::int32_t>(std::min<std::int64_t>(kFileBytesPerBlock, remaining));
  const std::int32_t got = imageFile.Read(chunk, wanted);
  chunkLength = static_cast<std::int16_t>(got);
  // A short read before the measured end means the file changed or failed: send nothing.
  if (got != wanted || got == 0)
    return false;

  std::uint8_t* payload = txFrame + 3;
  const std::int32_t halvesAndChecksum = 2 * chunkLength + 1;
  payload[0] = sequence;
  PackGroups(static_cast<std::uint32_t>(halvesAndChecksum), 2, payload + 1);
  std::uint8_t* halves = payload + 3;
  for (std::int32_t i = 0; i < chunkLength; ++i) {
    *halves++ = static_cast<std::uint8_t>(chunk[i] >> 4);
    *halves++ = static_cast<std::uint8_t>(chunk[i] & 0x0F);
  }
  *halves++ = DataChecksum(chunk, chunkLength);
  *halves = kFrameEnd;
  sequence = (sequence + 1) & 0x7F;
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

bool SpeakerNetwork::Upload(const std::string& path, std::int32_t savedPort) {
  ReportProgress(0);
  const Hold hold(*this, kLockLimitMs);
  if (!hold.Held())
    return false;

  bool done = false;
  std::int32_t extraDelay = 0;
  std::int64_t heardBytes = 0;
  for (int attempt = 0; attempt < kAttempts && !done; ++attempt) {
    events.Clear();
    if (savedPort == -1)
      continue;
    port.FlushInput();
    Reset();
    ReportProgress(kFirstBlockPercent);
    if (!OpenImage(path))
      return false;
    headerByte0 = imageHeader[0];
    headerByte1 = imageHeader[1];
    headerByte2 = imageHeader[2];
    blockSize = BlockSizeFor(imageHeader[0]);
    port.FlushInput();

    SendUploadStart();
    if (PortGone())
      return false;
    services.clock.SleepMs(kStartPauseMs);
    for (int read = 0; read < kStartReads; ++read) {
      heardBytes += CollectStatusReplies();
      services.clock.SleepMs(kReadPauseMs);
    }
    if (heardBytes == 0)
      noReply = true;
    if (noReply) {
      CloseImage();
      return false;
    }

    while (!imageFile.AtEnd() && !noReply) {
      if (abortRequested) {
        CloseImage();
        return false;
      }
      if (!SendNextDataBlock()) {
        NoteImageProblem(path + ": changed or unreadable during the upload");
        return false;
      }
      if (PortGone())
        return false;
      services.clock.SleepMs(kBlockPauseMs + extraDelay);
      CollectStatusReplies();
      ReportBlockProgress();
      if (events.HasError())
        break;
    }

    CloseImage();
    services.clock.SleepMs(kTailPauseMs);
    heardBytes = 0;
    for (int read = 0; read < kTailReads; ++read) {
      heardBytes += CollectStatusReplies();
      services.clock.SleepMs(kReadPauseMs);
    }
    if (events.ErrorCount() > 0) {
      ++extraDelay;
    } else {
      services.clock.SleepMs(kVerdictPauseMs);
      done = true;
    }
  }
  return done;
}

}  // namespace flashdesk
