#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/FirmwareImage.h"
#include "tests/engine/VirtualRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;
using Events = std::vector<std::pair<std::int32_t, int>>;

// Per upload start: its data blocks and the shortest pause between two of them.
std::vector<std::pair<std::size_t, std::int64_t>> Attempts(const VirtualRig& rig) {
  std::vector<std::pair<std::size_t, std::int64_t>> attempts;
  std::int64_t lastBlockMs = -1;
  for (const sim::RecordedFrame& frame : rig.bus.Frames()) {
    if (frame.command == kUploadStart) {
      attempts.emplace_back(0, INT64_MAX);
      lastBlockMs = -1;
    } else if (frame.command == kDataBlock && !attempts.empty()) {
      ++attempts.back().first;
      if (lastBlockMs >= 0)
        attempts.back().second = std::min(attempts.back().second, frame.timeMs - lastBlockMs);
      lastBlockMs = frame.timeMs;
    }
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
    target.engine.ScanNetwork();
    ASSERT_EQ(target.engine.SpeakerCount(), 2);
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

TEST_F(Upload, TransferErrorsRetryWithLongerBlockPausesAndKeepTheLastAttemptsEvents) {
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
  std::int64_t firstPause = 0;  // of the first attempt; each retry waits 1 ms longer per block
  for (const auto& example : cases) {
    VirtualRig run;
    sim::SpeakerConfig first = VirtualRig::CompleteSpeaker(1001, example.firstType);
    first.injectedErrors = example.errors;
    ScanTwoSpeakers(run, first);
    // 130 blocks: the sequence wraps after 127, the last block holds 5 bytes.
    EXPECT_EQ(run.engine.Upload(ApplicationImage(66 * 129 + 5, example.firstType), 3),
              example.uploaded)
        << example.label;

    EXPECT_EQ(run.Events(), example.events) << example.label;
    const std::vector<std::pair<std::size_t, std::int64_t>> attempts = Attempts(run);
    ASSERT_EQ(attempts.size(), example.blocksPerAttempt.size()) << example.label;
    for (std::size_t i = 0; i < attempts.size(); ++i) {
      EXPECT_EQ(attempts[i].first, example.blocksPerAttempt[i]) << example.label << " " << i;
      if (attempts[i].first < 2)
        continue;
      if (firstPause == 0)
        firstPause = attempts[i].second;
      EXPECT_EQ(attempts[i].second - firstPause, std::int64_t(i)) << example.label << " " << i;
    }
    for (int speaker = 0; speaker < 2 && example.uploaded; ++speaker) {
      const sim::SpeakerState state = run.bus.Speaker(speaker);
      const bool fits = state.config.type == example.firstType;
      EXPECT_EQ(state.upload.complete, fits) << example.label << " " << speaker;
      if (fits) {
        EXPECT_EQ(state.upload.payload, Payload()) << example.label << " " << speaker;
      }
    }
    EXPECT_GE(firstPause, 100);
    EXPECT_FALSE(run.engine.ImageIsOpen()) << example.label;
    EXPECT_TRUE(run.engine.PortIsOpen()) << example.label << ": open for the exit checks";
  }
}

TEST_F(Upload, PacingFollowsTheStartTheBlocksAndTheTail) {
  ASSERT_TRUE(rig.engine.Upload(ApplicationImage(132), 3));
  const std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  ASSERT_EQ(blocks.size(), 2u) << "132 bytes are two full blocks and no empty third";
  // 1000 ms pause, then four reads each followed by 100 ms; every read may take up to 60 ms.
  const std::int64_t toFirst = blocks[0].timeMs - rig.Sent(kUploadStart).at(0).timeMs;
  EXPECT_GE(toFirst, 1400);
  EXPECT_LT(toFirst, 1400 + 4 * 60);
  // After the last block: 100 ms, one read, 500 ms, eight reads each followed by 100 ms, 1 ms.
  const std::int64_t tail = rig.line.NowMs() - blocks[1].timeMs;
  EXPECT_GE(tail, 100 + 500 + 800 + 1);
  EXPECT_LT(tail, 100 + 500 + 800 + 1 + 9 * 60);
}

TEST_F(Upload, StartPhaseNeedsSomeByteButNotAReply) {
  for (const bool noise : {true, false}) {
    VirtualRig quiet;
    sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(1001);
    speaker.silentInApplication = true;
    quiet.bus.AddSpeaker(speaker);
    quiet.engine.ScanNetwork();
    // In Application mode the speaker ignores the upload.
    quiet.engine.SetMode(kApplicationMode);
    if (noise)
      quiet.bus.SendRawAfter(kUploadStart, 300, {0x12, 0x34, 0x56});

    const std::string label = noise ? "noise" : "silence";
    EXPECT_EQ(quiet.engine.Upload(ApplicationImage(150), 3), noise) << label;
    EXPECT_EQ(quiet.Sent(kUploadStart).size(), 1u) << label << ": never retried";
    EXPECT_EQ(quiet.Sent(kDataBlock).size(), noise ? 3u : 0u) << label;
    EXPECT_TRUE(quiet.Events().empty()) << label;
    EXPECT_FALSE(quiet.engine.ImageIsOpen()) << label;
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
    EXPECT_FALSE(run.engine.Upload(ApplicationImage(66 * 30), 3)) << unplug;
    EXPECT_LT(run.line.NowMs() - stoppedMs, 200) << unplug << ": the rest is not written";
    EXPECT_EQ(run.Sent(kDataBlock).size(), 10u) << unplug;
    EXPECT_EQ(run.Sent(kUploadStart).size(), 1u) << unplug;
    EXPECT_FALSE(run.engine.ImageIsOpen()) << unplug;
    EXPECT_EQ(run.Events(), (Events{{1001, kReplyReady}, {1002, kReplyReady}})) << unplug;
  }
}

TEST_F(Upload, ProgressRunsFromZeroToNinetyEight) {
  ASSERT_TRUE(rig.engine.Upload(ApplicationImage(3), 3));
  EXPECT_EQ(progress.positions, (std::vector<std::int32_t>{0, 1, 98}))
      << "10 * 100 / 3 is 333, lowered to 98";
  progress.positions.clear();
  ASSERT_TRUE(rig.engine.Upload(ApplicationImage(66 * 10), 3));
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
  EXPECT_FALSE(rig.engine.Upload(path, 3));
  const std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  EXPECT_LT(blocks.size(), 200u);
  for (const sim::RecordedFrame& block : blocks)
    EXPECT_EQ(block.bytes.size(), std::size_t(kLargestFrame)) << "only whole blocks";
  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u);
  EXPECT_FALSE(rig.engine.ImageIsOpen());
  EXPECT_FALSE(rig.engine.ImageProblem().empty()) << "the reason is given";
}

TEST_F(Upload, StartAnnouncesBlockSizeAndPayloadLength) {
  const struct {
    std::uint8_t header0;
    std::size_t payloadLength;
    std::vector<std::uint8_t> announced;
  } cases[] = {
      {0, 10, {0, 32, 0, 0, 0, 10}},  {1, 10, {1, 0, 0, 0, 0, 10}},
      {2, 10, {2, 64, 0, 0, 0, 10}},  {3, 10, {5, 64, 0, 0, 0, 10}},
      {7, 10, {5, 64, 0, 0, 0, 10}},  {0, 100000, {0, 32, 0, 6, 13, 32}},
      {0x7F, 1, {5, 64, 0, 0, 0, 1}},
  };
  // With the abort already raised only the start goes out.
  rig.engine.RequestAbort();
  for (const auto& example : cases) {
    EXPECT_FALSE(rig.engine.Upload(
        folder.Write("start.syx",
                     testing_support::ImageBytes(example.header0, example.payloadLength, 9, 8)),
        3));
    const sim::RecordedFrame start = rig.Sent(kUploadStart).back();
    std::vector<std::uint8_t> expected = {example.header0, 9, 8};
    expected.insert(expected.end(), example.announced.begin(), example.announced.end());
    EXPECT_EQ(start.payload, expected) << int(example.header0) << "/" << example.payloadLength;
    EXPECT_TRUE(start.checksumOk);
    EXPECT_EQ(start.destination, kEverySpeaker);
  }
  EXPECT_FALSE(rig.engine.Upload((folder.path / "missing.syx").string(), 3));
  EXPECT_EQ(rig.Sent(kUploadStart).size(), std::size(cases)) << "a file that does not open";
  EXPECT_TRUE(rig.Sent(kDataBlock).empty());
}

// The simulated speakers check sequence, length field, nibbles and checksum of every block and
// rebuild the payload; one block is pinned byte for byte here.
TEST_F(Upload, EightByteFileIsOneBlockOfOneByte) {
  EXPECT_TRUE(rig.engine.Upload(folder.Write("one.syx", {2, 4, 3, 0, 0, 0, 0, 0xA7}), 3));
  const std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].payload, (std::vector<std::uint8_t>{0, 0, 3, 0x0A, 0x07, 0x27}));
  EXPECT_EQ(blocks[0].destination, kEverySpeaker);
}

}  // namespace
}  // namespace flashdesk
