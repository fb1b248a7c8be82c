#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/Frame.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;
using Events = std::vector<std::pair<std::int32_t, int>>;

// The data blocks sent after each upload start.
std::vector<std::size_t> BlocksPerAttempt(const VirtualRig& rig) {
  std::vector<std::size_t> attempts;
  for (const sim::RecordedFrame& frame : rig.bus.Frames()) {
    if (frame.command == kUploadStart)
      attempts.push_back(0);
    else if (frame.command == kDataBlock && !attempts.empty())
      ++attempts.back();
  }
  return attempts;
}

class Upload : public ::testing::Test {
 protected:
  void SetUp() override { ScanTwoSpeakers(rig, VirtualRig::CompleteSpeaker(1001)); }
  // Two speakers on port 3, found by a scan; the first may be faulty.
  void ScanTwoSpeakers(VirtualRig& target, const sim::SpeakerConfig& first) {
    target.bus.AddSpeaker(first);
    target.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1002));
    ASSERT_EQ(target.engine.ScanNetwork().bus.speakers.size(), 2u);
    target.engine.SetProgressTarget(&progress);
  }
  // An application image whose payload holds payloadLength bytes.
  std::string ApplicationImage(std::int32_t payloadLength, std::uint8_t model = 4) {
    image = sim::BuildFirmwareImage(kKindApplication, model, 3, 7, payloadLength - 2);
    return folder.Write("app.syx", image);
  }
  std::vector<std::uint8_t> Payload() const { return {image.begin() + 7, image.end()}; }

  VirtualRig rig;
  testing_support::RecordingProgress progress;
  testing_support::TempFolder folder;
  std::vector<std::uint8_t> image;
};

TEST_F(Upload, TransferErrorsRetryTheWholeImageAndKeepTheLastAttemptsEvents) {
  const Events readyDone = {
      {1001, kReplyReady}, {1002, kReplyReady}, {1001, kReplyDone}, {1002, kReplyDone}};
  const Events typeError = {{1001, kReplyReady}, {1002, kReplyTypeError}, {1001, kReplyDone}};
  const Events lastError = {{1001, kReplyReady}, {1002, kReplyReady}, {1001, kReplyChecksumError}};
  const std::vector<sim::InjectedError> everyAttempt = {
      {1, 0, kReplySectorError}, {2, 1, kReplyCountError}, {3, 3, kReplyChecksumError}};
  const struct {
    const char* label;
    std::uint8_t firstType;
    std::vector<sim::InjectedError> errors;  // on the first speaker
    bool uploaded;
    std::vector<std::size_t> blocksPerAttempt;
    Events events;
  } cases[] = {
      {"both ready then done", 4, {}, true, {130}, readyDone},
      {"type error is no transfer error", 5, {}, true, {130}, typeError},
      {"checksum error once", 4, {{1, 2, kReplyChecksumError}}, true, {3, 130}, readyDone},
      {"errors in all three attempts", 4, everyAttempt, false, {1, 2, 4}, lastError},
  };
  for (const auto& example : cases) {
    VirtualRig run;
    sim::SpeakerConfig first = VirtualRig::CompleteSpeaker(1001, example.firstType);
    first.injectedErrors = example.errors;
    ScanTwoSpeakers(run, first);
    // 130 blocks: the sequence wraps after 127, the last block holds 5 bytes.
    const UploadOutcome outcome =
        run.engine.Upload(ApplicationImage(66 * 129 + 5, example.firstType), 3);
    EXPECT_EQ(outcome.done, example.uploaded) << example.label;
    EXPECT_EQ(outcome.attempts, static_cast<int>(example.blocksPerAttempt.size())) << example.label;
    EXPECT_EQ(VirtualRig::EventsOf(outcome), example.events) << example.label;
    EXPECT_EQ(BlocksPerAttempt(run), example.blocksPerAttempt) << example.label;
    for (int speaker = 0; speaker < 2 && example.uploaded; ++speaker) {
      const sim::SpeakerState state = run.bus.Speaker(speaker);
      const bool fits = state.config.type == example.firstType;
      EXPECT_EQ(state.upload.complete, fits) << example.label << " " << speaker;
      if (fits) {
        EXPECT_EQ(state.upload.payload, Payload()) << example.label << " " << speaker;
      }
    }
    EXPECT_TRUE(run.line.BusPortOpen()) << example.label << ": open for the exit checks";
  }
}

// Every pause, listening window and pass count of a scan that must wake the speaker, an upload
// retried once, and the exit, to the millisecond of virtual time. A read that hears nothing
// costs its 20 ms time-out, and so does the one read of a FlushInput on a quiet line; the
// speaker answers 40 ms after a request, and the burst with its answer ends one read later.
// The speaker lacks its application until the upload: the exit checks must see it now.
TEST(Pacing, EveryPauseWindowAndPassOfScanUploadAndExitKeepsItsLength) {
  constexpr std::int64_t kRead = 20;
  constexpr std::int64_t kReply = 40;
  constexpr std::int64_t kHeard = kReply + kRead;
  VirtualRig rig;
  sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(1001);
  speaker.mode = sim::SpeakerMode::kApplication;
  speaker.silentInApplication = true;
  speaker.replyDelayMs = kReply;
  speaker.injectedErrors = {{1, 1, kReplyChecksumError}};
  speaker.software = {{kKindFpga, 1, 0}, {kKindBoot, 1, 0}};
  rig.bus.AddSpeaker(speaker);
  rig.prompts.answerYes = false;
  testing_support::TempFolder folder;
  const std::string image = folder.Write(
      "app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, 3 * kFileBytesPerBlock - 2));
  rig.engine.ScanNetwork();
  ASSERT_TRUE(rig.engine.Upload(image, 3).done);
  ASSERT_TRUE(rig.engine.ConfirmExit().allowed);

  // An identification pass lasts 300 ms after the last answer; the next one flushes first.
  const std::int64_t pass = kHeard + 300 + kRead;
  const std::int64_t startReads = 4 * (kRead + 100);
  const std::int64_t tail = 500 + 8 * (kRead + 100);
  const std::vector<std::pair<std::uint8_t, std::int64_t>> expected = {
      {kIdentifyRequest, kRead},
      // The ping goes unanswered for 200 ms; then 2000 ms of listening for the boot signal.
      {kModeCommand, 200 + kRead + 2000 + kRead},
      {kIdentifyRequest, 1000 + kRead},
      // Answered: 1000 ms pause, then five identification passes.
      {kIdentifyRequest, kHeard + 1000 + kRead + kRead},
      {kIdentifyRequest, pass},
      {kIdentifyRequest, pass},
      {kIdentifyRequest, pass},
      {kIdentifyRequest, pass},
      {kUploadStart, pass + kRead},
      // 1000 ms, then four reads 100 ms apart; 100 ms after each block.
      {kDataBlock, 1000 + startReads},
      {kDataBlock, 100 + kRead},
      // The checksum error ends the data phase: 500 ms and eight reads, then the retry.
      {kUploadStart, 100 + kRead + tail + kRead + kRead},
      {kDataBlock, 1000 + startReads},
      {kDataBlock, 101 + kRead},
      {kDataBlock, 101 + kRead},
      // The verdict's 1 ms, then the exit identifies again and listens 2000 ms for the signal.
      {kIdentifyRequest, 101 + kRead + tail + 1 + kRead},
      {kIdentifyRequest, pass},
      {kIdentifyRequest, pass},
      {kIdentifyRequest, pass},
      {kIdentifyRequest, pass},
      {kModeCommand, pass + 2000 + kRead},
  };
  std::vector<std::pair<std::uint8_t, std::int64_t>> heard;
  std::int64_t previousMs = 0;
  for (const sim::RecordedFrame& frame : rig.bus.Frames()) {
    heard.emplace_back(frame.command, frame.timeMs - previousMs);
    previousMs = frame.timeMs;
  }
  EXPECT_EQ(heard, expected);
  EXPECT_EQ(rig.line.NowMs() - previousMs, 2000) << "the pause after Application mode";
}

TEST_F(Upload, StartPhaseNeedsSomeByteButNotAReply) {
  for (const bool noise : {true, false}) {
    VirtualRig quiet;
    sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(1001);
    speaker.silentInApplication = true;
    quiet.bus.AddSpeaker(speaker);
    quiet.engine.ScanNetwork();
    // In Application mode the speaker ignores the upload.
    std::uint8_t mode[8] = {kFrameStart, kEverySpeaker, kModeCommand, kApplicationMode, kFrameEnd};
    quiet.bus.Receive(mode, static_cast<std::size_t>(Seal(mode)), quiet.line.NowMs());
    if (noise)
      quiet.bus.SendRawAfter(kUploadStart, 300, {0x12, 0x34, 0x56});

    const std::string label = noise ? "noise" : "silence";
    const UploadOutcome outcome = quiet.engine.Upload(ApplicationImage(150), 3);
    EXPECT_EQ(outcome.done, noise) << label;
    EXPECT_EQ(quiet.Sent(kUploadStart).size(), 1u) << label << ": never retried";
    EXPECT_EQ(quiet.Sent(kDataBlock).size(), noise ? 3u : 0u) << label;
    EXPECT_TRUE(outcome.events.empty()) << label;
  }
}

TEST_F(Upload, AbortOrAPortGoneAfterBlockTenEndsAtOnceWithoutARetry) {
  for (const bool unplug : {false, true}) {
    VirtualRig run;
    ScanTwoSpeakers(run, VirtualRig::CompleteSpeaker(1001));
    std::int64_t stoppedMs = 0;
    progress.onReport = [&run, &stoppedMs, unplug] {
      if (run.Sent(kDataBlock).size() != 10 || stoppedMs > 0)
        return;
      stoppedMs = run.line.NowMs();
      unplug ? run.bus.Vanish() : run.engine.RequestAbort();
    };
    const UploadOutcome outcome = run.engine.Upload(ApplicationImage(66 * 30), 3);
    EXPECT_FALSE(outcome.done) << unplug;
    EXPECT_LT(run.line.NowMs() - stoppedMs, 200) << unplug << ": the rest is not written";
    EXPECT_EQ(run.Sent(kDataBlock).size(), 10u) << unplug;
    EXPECT_EQ(run.Sent(kUploadStart).size(), 1u) << unplug;
    EXPECT_EQ(VirtualRig::EventsOf(outcome), (Events{{1001, kReplyReady}, {1002, kReplyReady}}))
        << unplug;
  }
}

TEST_F(Upload, ProgressRunsFromZeroToNinetyEight) {
  ASSERT_TRUE(rig.engine.Upload(ApplicationImage(3), 3).done);
  EXPECT_EQ(progress.positions, (std::vector<std::int32_t>{0, 1, 98}))
      << "10 * 100 / 3 is 333, lowered to 98";
  progress.positions.clear();
  ASSERT_TRUE(rig.engine.Upload(ApplicationImage(66 * 10), 3).done);
  ASSERT_EQ(progress.positions.size(), 12u) << "the start, then one per block and the end";
  EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
  EXPECT_EQ(progress.positions.back(), 98);
}

TEST_F(Upload, FileThatShrinksDuringTheUploadEndsItWithoutAHalfBlock) {
  const std::string path = ApplicationImage(66 * 200);
  progress.onReport = [this, &path] {
    if (rig.Sent(kDataBlock).size() == 2)
      std::filesystem::resize_file(path, 7 + 100);
  };
  const UploadOutcome outcome = rig.engine.Upload(path, 3);
  EXPECT_FALSE(outcome.done);
  const std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  EXPECT_LT(blocks.size(), 200u);
  // A whole block on the line: F0, destination, command, sequence, two length bytes, the 66
  // file bytes as 132 nibbles, their checksum, the frame's checksum, F7.
  constexpr std::size_t kWholeBlockFrame = 141;
  for (const sim::RecordedFrame& block : blocks)
    EXPECT_EQ(block.bytes.size(), kWholeBlockFrame) << "only whole blocks";
  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u);
  EXPECT_NE(outcome.imageProblem.find("changed or unreadable"), std::string::npos)
      << "the reason is given";
  EXPECT_EQ(outcome.sentSha256, std::string()) << "no hash for bytes never read";
}

}  // namespace
}  // namespace flashdesk
