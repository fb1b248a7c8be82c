#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;

// One speaker found by a scan, and an application image for it.
class EngineThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(61));
    rig.engine.ScanNetwork();
    ASSERT_EQ(rig.engine.SpeakerCount(), 1);
  }
  std::string Image(std::int32_t bodyLength) {
    return folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 2, 0, bodyLength));
  }

  VirtualRig rig;
  testing_support::TempFolder folder;
};

TEST_F(EngineThreads, ExitStopsARunningUploadBeforeItsNextBlock) {
  const std::string path = Image(66 * 40);

  std::promise<void> fifthBlockSent;
  bool signalled = false;
  testing_support::RecordingProgress progress;
  progress.onReport = [&] {
    if (signalled || rig.Sent(kDataBlock).size() != 5)
      return;
    signalled = true;
    fifthBlockSent.set_value();
    // Hold the upload here until the exit path has raised its flag (bounded, in case of a
    // fault that never raises it).
    for (int i = 0; i < 10000 && !rig.engine.AbortRequested(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  rig.engine.SetProgressTarget(&progress);
  std::future<bool> upload =
      std::async(std::launch::async, [&] { return rig.engine.Upload(path, 3); });
  fifthBlockSent.get_future().wait();
  const bool mayExit = rig.engine.ConfirmExit();

  EXPECT_FALSE(upload.get());
  EXPECT_TRUE(mayExit);
  EXPECT_FALSE(rig.engine.AbortRequested());
  EXPECT_EQ(rig.Sent(kDataBlock).size(), 5u);
  EXPECT_EQ(rig.Sent(kUploadStart).size(), 1u) << "no retry after an abort";
  EXPECT_EQ(rig.Sent(kModeCommand).size(), 1u);
  EXPECT_FALSE(rig.engine.ImageIsOpen());
}

TEST_F(EngineThreads, UploadAndExitGiveUpWhenTheEngineStaysBusyForTenSeconds) {
  const std::string path = Image(100);
  for (const bool exit : {false, true}) {
    std::optional<SpeakerNetwork::Hold> busy;
    busy.emplace(rig.engine, SpeakerNetwork::kNoLimit);
    const std::int64_t before = rig.line.NowMs();
    std::future<bool> attempt = std::async(std::launch::async, [&] {
      return exit ? rig.engine.ConfirmExit() : rig.engine.Upload(path, 3);
    });
    const bool succeeded = attempt.get();
    const std::int64_t waited = rig.line.NowMs() - before;
    busy.reset();

    EXPECT_FALSE(succeeded) << exit;
    EXPECT_GE(waited, 10000) << exit;
    EXPECT_LT(waited, 10100) << exit;
    EXPECT_TRUE(rig.Sent(kUploadStart).empty()) << exit;
    EXPECT_TRUE(rig.Sent(kModeCommand).empty()) << exit;
    EXPECT_FALSE(rig.engine.AbortRequested()) << exit;
  }
  // Once free, the engine is taken at once.
  EXPECT_TRUE(rig.engine.Upload(path, 3));
  EXPECT_TRUE(rig.engine.ConfirmExit());
}

}  // namespace
}  // namespace flashdesk
