#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sim/FirmwareImage.h"
#include "tests/engine/VirtualRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;

// Keeps every percentage; onReport runs after each one, on the uploading thread.
class RecordingProgress : public platform::ProgressSink {
 public:
  void ReportProgress(std::int32_t position) override {
    positions.push_back(position);
    if (onReport)
      onReport();
  }
  std::vector<std::int32_t> positions;
  std::function<void()> onReport;
};

class Upload : public ::testing::Test {
 protected:
  // Two complete type-4 speakers on port 3, found by a scan.
  void ScanTwoSpeakers(sim::SpeakerConfig first = VirtualRig::CompleteSpeaker(1001),
                       sim::SpeakerConfig second = VirtualRig::CompleteSpeaker(1002)) {
    rig.bus.AddSpeaker(first);
    rig.bus.AddSpeaker(second);
    rig.engine.ScanNetwork();
    ASSERT_EQ(rig.engine.SpeakerCount(), 2);
  }
  // An application image for type 4 whose payload holds payloadLength bytes.
  std::string ApplicationImage(std::int32_t payloadLength, std::uint8_t model = 4) {
    image = sim::BuildFirmwareImage(kKindApplication, model, 3, 7, payloadLength - 2);
    return folder.Write("app.syx", image);
  }
  bool RunUpload(const std::string& path) {
    rig.engine.SetProgressTarget(&progress);
    return rig.engine.Upload(path, rig.engine.ReadSavedPort());
  }
  std::vector<LogEvent> Events() const {
    ErrorLog log;
    rig.engine.CopyEvents(log);
    return log.Events();
  }
  // Frame times of the data blocks after the upload start with index `attempt`.
  std::vector<std::int64_t> BlockGaps(std::size_t attempt) const {
    const std::vector<sim::RecordedFrame> starts = rig.Sent(kUploadStart);
    const std::int64_t from = starts.at(attempt).timeMs;
    const std::int64_t to = attempt + 1 < starts.size() ? starts[attempt + 1].timeMs : INT64_MAX;
    std::vector<std::int64_t> times;
    for (const sim::RecordedFrame& frame : rig.Sent(kDataBlock)) {
      if (frame.timeMs > from && frame.timeMs < to)
        times.push_back(frame.timeMs);
    }
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
      gaps.push_back(times[i] - times[i - 1]);
    return gaps;
  }

  VirtualRig rig;
  RecordingProgress progress;
  testing_support::TempFolder folder;
  std::vector<std::uint8_t> image;
};

bool SameEvents(const std::vector<LogEvent>& events,
                const std::vector<std::pair<std::int32_t, std::uint8_t>>& expected) {
  if (events.size() != expected.size())
    return false;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].serial != expected[i].first || events[i].code != expected[i].second) {
      return false;
    }
  }
  return true;
}

TEST_F(Upload, TwoSpeakersReadyThenDoneInOneAttemptWithTheWholeImage) {
  ScanTwoSpeakers();
  const std::string path = ApplicationImage(300);
  EXPECT_TRUE(RunUpload(path));

  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u);
  EXPECT_EQ(rig.Sent(kDataBlock).size(), 5u) << "300 bytes: four blocks of 66 and one of 36";
  EXPECT_TRUE(SameEvents(
      Events(),
      {{1001, kReplyReady}, {1002, kReplyReady}, {1001, kReplyDone}, {1002, kReplyDone}}));
  const std::vector<std::uint8_t> payload(image.begin() + 7, image.end());
  for (int speaker = 0; speaker < 2; ++speaker) {
    const sim::SpeakerState state = rig.bus.Speaker(speaker);
    EXPECT_TRUE(state.upload.complete) << speaker;
    EXPECT_EQ(state.upload.payload, payload) << speaker;
    EXPECT_EQ(state.upload.payloadLength, 300) << speaker;
  }
  EXPECT_FALSE(rig.engine.ImageIsOpen());
  EXPECT_TRUE(rig.engine.PortIsOpen()) << "the port stays open for the exit checks";
}

TEST_F(Upload, PacingFollowsTheStartTheBlocksAndTheTail) {
  ScanTwoSpeakers();
  const std::int64_t before = rig.line.NowMs();
  ASSERT_TRUE(RunUpload(ApplicationImage(132)));
  const std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  ASSERT_EQ(blocks.size(), 2u) << "132 bytes are two full blocks and no empty third";
  const std::int64_t start = rig.Sent(kUploadStart).at(0).timeMs;
  // 1000 ms pause, then four reads each followed by 100 ms.
  EXPECT_GE(blocks[0].timeMs - start, 1400);
  EXPECT_LT(blocks[0].timeMs - start, 1400 + 4 * 60);
  EXPECT_GE(blocks[1].timeMs - blocks[0].timeMs, 100);
  EXPECT_LT(blocks[1].timeMs - blocks[0].timeMs, 100 + 60);
  // After the last block: 100 ms, one read, 500 ms, eight reads each followed by 100 ms, 1 ms.
  const std::int64_t tail = rig.line.NowMs() - blocks[1].timeMs;
  EXPECT_GE(tail, 100 + 500 + 800 + 1);
  EXPECT_LT(tail, 100 + 500 + 800 + 1 + 9 * 60);
  EXPECT_GT(start, before);
}

TEST_F(Upload, ChecksumErrorStopsTheDataPhaseAndRetriesWithLongerPauses) {
  sim::SpeakerConfig faulty = VirtualRig::CompleteSpeaker(1001);
  faulty.injectedErrors = {{1, 2, kReplyChecksumError}};
  ScanTwoSpeakers(faulty);
  EXPECT_TRUE(RunUpload(ApplicationImage(66 * 8)));

  ASSERT_EQ(rig.Sent(kUploadStart).size(), 2u);
  const std::vector<std::int64_t> first = BlockGaps(0);
  const std::vector<std::int64_t> second = BlockGaps(1);
  EXPECT_EQ(first.size() + 1, 3u) << "blocks 0 to 2, then the error ends the data phase";
  EXPECT_EQ(second.size() + 1, 8u);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  const std::int64_t firstPause = *std::min_element(first.begin(), first.end());
  const std::int64_t secondPause = *std::min_element(second.begin(), second.end());
  EXPECT_GE(firstPause, 100);
  EXPECT_EQ(secondPause - firstPause, 1) << "the block pause grows from 100 to 101 ms";
  EXPECT_TRUE(SameEvents(
      Events(), {{1001, kReplyReady}, {1002, kReplyReady}, {1001, kReplyDone}, {1002, kReplyDone}}))
      << "only the second attempt's events remain";
  EXPECT_EQ(rig.bus.Speaker(0).upload.payload,
            std::vector<std::uint8_t>(image.begin() + 7, image.end()));
}

TEST_F(Upload, ErrorsInAllThreeAttemptsFailWithTheThirdAttemptsEvents) {
  sim::SpeakerConfig faulty = VirtualRig::CompleteSpeaker(1001);
  faulty.injectedErrors = {
      {1, 0, kReplySectorError}, {2, 1, kReplyCountError}, {3, 3, kReplyChecksumError}};
  ScanTwoSpeakers(faulty);
  EXPECT_FALSE(RunUpload(ApplicationImage(66 * 6)));

  EXPECT_EQ(rig.Sent(kUploadStart).size(), 3u);
  EXPECT_TRUE(SameEvents(Events(),
                         {{1001, kReplyReady}, {1002, kReplyReady}, {1001, kReplyChecksumError}}));
  const std::vector<std::int64_t> first = BlockGaps(1);
  const std::vector<std::int64_t> third = BlockGaps(2);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(third.empty());
  EXPECT_EQ(
      *std::min_element(third.begin(), third.end()) - *std::min_element(first.begin(), first.end()),
      1)
      << "102 ms in the third attempt against 101 ms in the second";
}

TEST_F(Upload, TypeErrorIsNotATransferError) {
  ScanTwoSpeakers(VirtualRig::CompleteSpeaker(1001, 5), VirtualRig::CompleteSpeaker(1002, 4));
  EXPECT_TRUE(RunUpload(ApplicationImage(200, 5)));
  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u);
  EXPECT_TRUE(
      SameEvents(Events(), {{1001, kReplyReady}, {1002, kReplyTypeError}, {1001, kReplyDone}}));
}

TEST_F(Upload, StartPhaseNeedsSomeByteButNotAReply) {
  for (const bool noise : {true, false}) {
    VirtualRig quiet;
    sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(1001);
    speaker.silentInApplication = true;
    quiet.bus.AddSpeaker(speaker);
    quiet.engine.ScanNetwork();
    ASSERT_EQ(quiet.engine.SpeakerCount(), 1);
    // In Application mode the speaker ignores the upload.
    quiet.engine.SetMode(kApplicationMode);
    if (noise)
      quiet.bus.SendRawAfter(kUploadStart, 300, {0x12, 0x34, 0x56});
    const bool uploaded = quiet.engine.Upload(ApplicationImage(150), 3);

    const std::string label = noise ? "noise" : "silence";
    EXPECT_EQ(uploaded, noise) << label;
    EXPECT_EQ(quiet.Sent(kUploadStart).size(), 1u) << label << ": never retried";
    EXPECT_EQ(quiet.Sent(kDataBlock).size(), noise ? 3u : 0u) << label;
    ErrorLog log;
    quiet.engine.CopyEvents(log);
    EXPECT_TRUE(log.Events().empty()) << label;
    EXPECT_FALSE(quiet.engine.ImageIsOpen()) << label;
  }
}

TEST_F(Upload, AbortBeforeTheNextBlockClosesTheFileWithoutARetry) {
  ScanTwoSpeakers();
  progress.onReport = [this] {
    if (rig.Sent(kDataBlock).size() == 10)
      rig.engine.abortRequested = true;
  };
  EXPECT_FALSE(RunUpload(ApplicationImage(66 * 30)));
  rig.engine.abortRequested = false;

  EXPECT_EQ(rig.Sent(kDataBlock).size(), 10u);
  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u);
  EXPECT_FALSE(rig.engine.ImageIsOpen());
  EXPECT_TRUE(SameEvents(Events(), {{1001, kReplyReady}, {1002, kReplyReady}}));
}

TEST_F(Upload, ProgressRunsFromZeroToNinetyEight) {
  ScanTwoSpeakers();
  ASSERT_TRUE(RunUpload(ApplicationImage(3)));
  EXPECT_EQ(progress.positions, (std::vector<std::int32_t>{0, 1, 98}))
      << "10 * 100 / 3 is 333, lowered to 98";

  progress.positions.clear();
  ASSERT_TRUE(RunUpload(ApplicationImage(66 * 10)));
  ASSERT_EQ(progress.positions.size(), 12u);
  EXPECT_EQ(progress.positions[0], 0);
  EXPECT_EQ(progress.positions[1], 1);
  EXPECT_EQ(progress.positions[2], (7 + 66) * 100 / 660);
  EXPECT_EQ(progress.positions[6], (7 + 5 * 66) * 100 / 660);
  EXPECT_EQ(progress.positions.back(), 98);
}

TEST_F(Upload, FailuresBeforeTheFirstBlockSendNothingFurther) {
  ScanTwoSpeakers();
  const std::string good = ApplicationImage(100);
  // No network: three empty attempts.
  rig.engine.SetProgressTarget(&progress);
  EXPECT_FALSE(rig.engine.Upload(good, -1));
  EXPECT_TRUE(rig.Sent(kUploadStart).empty());
  EXPECT_EQ(progress.positions, std::vector<std::int32_t>{0});
  // A file that does not open.
  EXPECT_FALSE(rig.engine.Upload((folder.path / "missing.syx").string(), 3));
  const std::string shortFile = folder.Write("short.syx", {2, 4, 3, 0, 0, 0, 0});
  EXPECT_FALSE(rig.engine.Upload(shortFile, 3));
  EXPECT_TRUE(rig.Sent(kUploadStart).empty());
  EXPECT_TRUE(Events().empty());
}

TEST_F(Upload, FileThatShrinksDuringTheUploadEndsItWithoutAHalfBlock) {
  ScanTwoSpeakers();
  const std::string path = ApplicationImage(66 * 200);
  progress.onReport = [this, &path] {
    if (rig.Sent(kDataBlock).size() == 2)
      std::filesystem::resize_file(path, 7 + 100);
  };
  EXPECT_FALSE(RunUpload(path));

  const std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  ASSERT_FALSE(blocks.empty());
  EXPECT_LT(blocks.size(), 200u);
  for (const sim::RecordedFrame& block : blocks) {
    EXPECT_EQ(block.bytes.size(), static_cast<std::size_t>(kLargestFrame)) << "only whole blocks";
  }
  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u);
  EXPECT_FALSE(rig.engine.ImageIsOpen());
}

TEST_F(Upload, StartAnnouncesBlockSizeAndPayloadLength) {
  ScanTwoSpeakers();
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
  rig.engine.abortRequested = true;
  for (const auto& example : cases) {
    const std::string path = folder.Write(
        "start.syx", testing_support::ImageBytes(example.header0, example.payloadLength, 9, 8));
    EXPECT_FALSE(rig.engine.Upload(path, 3));
    const sim::RecordedFrame start = rig.Sent(kUploadStart).back();
    std::vector<std::uint8_t> expected = {example.header0, 9, 8};
    expected.insert(expected.end(), example.announced.begin(), example.announced.end());
    EXPECT_EQ(start.payload, expected) << int(example.header0) << "/" << example.payloadLength;
    EXPECT_TRUE(start.checksumOk);
    EXPECT_EQ(start.destination, kEverySpeaker);
  }
  rig.engine.abortRequested = false;
  EXPECT_TRUE(rig.Sent(kDataBlock).empty());
}

TEST_F(Upload, DataBlocksCarryNibblesChecksumAndAWrappingSequence) {
  ScanTwoSpeakers();
  const std::string single = folder.Write("one.syx", {2, 4, 3, 0, 0, 0, 0, 0xA7});
  rig.engine.Upload(single, 3);
  const std::vector<sim::RecordedFrame> one = rig.Sent(kDataBlock);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].payload, (std::vector<std::uint8_t>{0, 0, 3, 0x0A, 0x07, 0x27}));
  EXPECT_TRUE(one[0].checksumOk);
  EXPECT_EQ(one[0].destination, kEverySpeaker);

  ASSERT_TRUE(RunUpload(ApplicationImage(66 * 129 + 5)));
  std::vector<sim::RecordedFrame> blocks = rig.Sent(kDataBlock);
  blocks.erase(blocks.begin());
  ASSERT_EQ(blocks.size(), 130u);
  EXPECT_EQ(blocks[0].sequence, 0);
  EXPECT_EQ(blocks[127].sequence, 127);
  EXPECT_EQ(blocks[128].sequence, 0);
  EXPECT_EQ(blocks[129].sequence, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(blocks[0].payload.begin() + 1, blocks[0].payload.begin() + 3),
            (std::vector<std::uint8_t>{1, 5}))
      << "a full block has L = 133";
  EXPECT_EQ(
      std::vector<std::uint8_t>(blocks[129].payload.begin() + 1, blocks[129].payload.begin() + 3),
      (std::vector<std::uint8_t>{0, 11}))
      << "the last block of 5 bytes has L = 11";
  EXPECT_EQ(rig.bus.Speaker(1).upload.payload,
            std::vector<std::uint8_t>(image.begin() + 7, image.end()));
}

}  // namespace
}  // namespace flashdesk
