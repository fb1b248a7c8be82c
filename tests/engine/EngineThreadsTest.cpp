#include <gtest/gtest.h>

#include <future>
#include <optional>

#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;

TEST(EngineThreads, UploadAndExitGiveUpWhenTheEngineStaysBusyForTenSeconds) {
  VirtualRig rig;
  rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(61));
  rig.engine.ScanNetwork();
  testing_support::TempFolder folder;
  const std::string path =
      folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 2, 0, 100));
  for (const bool exit : {false, true}) {
    std::optional<SpeakerNetwork::Hold> busy;
    busy.emplace(rig.engine, SpeakerNetwork::kNoLimit);
    const std::int64_t before = rig.line.NowMs();
    std::future<bool> attempt = std::async(std::launch::async, [&] {
      return exit ? rig.engine.ConfirmExit().allowed : rig.engine.Upload(path, 3).done;
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
  EXPECT_TRUE(rig.engine.Upload(path, 3).done);
  EXPECT_TRUE(rig.engine.ConfirmExit().allowed);
}

}  // namespace
}  // namespace flashdesk
