// The whole window with its scan and upload threads against simulated speakers in virtual
// time: commands, the exit sequence and the threads' hand-over to the window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "platform/Trace.h"
#include "tests/app/WorkerTestRig.h"

namespace flashdesk {
namespace {

using ::testing::HasSubstr;
using worker_testing::ApplicationModeCommands;
using worker_testing::CountFrames;
using worker_testing::PayloadOf;
using worker_testing::ScannedRig;
using worker_testing::WorkerRig;

constexpr std::uint8_t kTarnS2 = 3;
// Our sample images are 32 blocks long.
constexpr std::int32_t kHoldBlock = 10;
constexpr const char* kErrorsStatus = "Status: One Or More Errors May Have Occoured";

sim::SpeakerConfig Complete(std::uint32_t serial, std::uint8_t type = kTarnS2) {
  return gui_testing::SimulatedSetup::CompleteSpeaker(type, serial);
}
sim::SpeakerConfig WithoutBootLoader(std::uint32_t serial) {
  sim::SpeakerConfig speaker = Complete(serial, 4);
  speaker.software.erase(speaker.software.begin());
  return speaker;
}

struct WorkerThreadsTest : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  const std::vector<sim::SpeakerConfig> twoSpeakers = {Complete(0x10001), Complete(0x10002)};
};

// The ways a user can leave; each must run the exit checks, never end the window around them.
const struct {
  const char* name;
  std::function<void(WorkerRig&)> leave;
} kWaysToLeave[] = {
    {"Exit button", [](WorkerRig& rig) { rig.Click(rig.parts.exit); }},
    {"Escape", [](WorkerRig& rig) { QTest::keyClick(rig.dialog.get(), Qt::Key_Escape); }},
    {"close button", [](WorkerRig& rig) { rig.Click(rig.parts.close); }},
    {"close request", [](WorkerRig& rig) { rig.dialog->close(); }},
};

TEST_F(WorkerThreadsTest, TheRoadOfOneUploadFromStartToExit) {
  WorkerRig rig(twoSpeakers);
  UploadDialog& dialog = *rig.dialog;
  auto& parts = rig.parts;

  // The scan's result reaches the window only through its event loop.
  dialog.StartScan();
  EXPECT_TRUE(rig.View().searching);
  ASSERT_TRUE(rig.Scan());
  EXPECT_EQ(parts.speakers.EntryCount(), 8);
  EXPECT_EQ(parts.speakers.SelectedType(), kTarnS2);
  EXPECT_EQ(std::filesystem::path(rig.Selected()).filename(), "TarnS2V1.00.syx");
  EXPECT_EQ(rig.store.stored, "3");
  // Boot loaders are offered for a single speaker only.
  std::vector<std::int32_t> kinds;
  for (std::int32_t i = 0; i < parts.firmware.Catalog().EntryCount(); ++i)
    kinds.push_back(parts.firmware.Catalog().Entry(i).kind);
  EXPECT_EQ(kinds, (std::vector<std::int32_t>{kKindApplication, kKindApplication, kKindTest}));

  // Choosing another model rebuilds the list; clearing the model leaves nothing to choose.
  rig.Tick(parts.speakers.Entry(1));
  EXPECT_EQ(std::filesystem::path(rig.Selected()).filename(), "TarnS1V1.00.syx");
  EXPECT_EQ(parts.firmware.Catalog().EntryCount(), 3);
  rig.Tick(parts.speakers.Entry(1));
  EXPECT_EQ(parts.firmware.Catalog().EntryCount(), 0);
  EXPECT_FALSE(parts.firmware.Entry(0).isVisible());
  rig.Tick(parts.speakers.Entry(0));

  rig.Tick(parts.firmware.Entry(1));
  const std::string chosen = rig.Selected();
  ASSERT_EQ(std::filesystem::path(chosen).filename(), "TarnS2V1.23.syx");

  ASSERT_TRUE(rig.StartHeldUpload(kHoldBlock));
  UploadDialog::View view = rig.View();
  EXPECT_EQ(view.statusText, "Status: Uploading Firmware");
  EXPECT_EQ(view.box, BoxContent::kHelpPage0) << "an open help page stays open during an upload";
  EXPECT_GT(parts.progress.Position(), 1);
  EXPECT_LT(parts.progress.Position(), 98);

  rig.clock.Release();
  ASSERT_TRUE(rig.WaitForWorkers());
  view = rig.View();
  EXPECT_EQ(view.statusText, "Status: Upload Complete");
  EXPECT_EQ(view.box, BoxContent::kReport);
  EXPECT_THAT(view.reportText,
              HasSubstr(" 2 Speaker(s) Passed:\n    - Serial: 65537\n    - Serial: 65538\n"));
  EXPECT_EQ(parts.progress.Position(), 100);
  EXPECT_EQ(CountFrames(rig.bus, kUploadStart), 1);
  for (int speaker = 0; speaker < 2; ++speaker)
    EXPECT_EQ(rig.bus.Speaker(speaker).upload.payload, PayloadOf(chosen)) << speaker;

  rig.Click(parts.exit);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(ApplicationModeCommands(rig.bus), 1);
  EXPECT_FALSE(dialog.Controller().Network().PortIsOpen());
  EXPECT_TRUE(rig.prompts.messages.empty());
  EXPECT_TRUE(rig.prompts.questions.empty());
}

TEST_F(WorkerThreadsTest, FailedUploadIsNeverReportedAsComplete) {
  const struct {
    const char* name;
    std::function<void(WorkerRig&)> spoil;
  } failures[] = {
      {"file refused", [](WorkerRig& rig) { std::filesystem::resize_file(rig.Selected(), 3); }},
      {"no saved port", [](WorkerRig& rig) { rig.store.stored.reset(); }},
      {"start unanswered", [](WorkerRig& rig) { rig.bus.Vanish(); }},
      {"engine busy past the lock limit", nullptr},
  };
  for (const auto& failure : failures) {
    auto rig = ScannedRig({Complete(0x30001)});
    std::optional<SpeakerNetwork::Hold> busy;
    if (failure.spoil)
      failure.spoil(*rig);
    else
      busy.emplace(rig->dialog->Controller().Network(), 0);
    rig->Click(rig->parts.upload);
    ASSERT_TRUE(rig->WaitForWorkers()) << failure.name;
    EXPECT_EQ(rig->View().statusText, kErrorsStatus) << failure.name;
    EXPECT_EQ(rig->View().box, BoxContent::kReport) << failure.name;
    EXPECT_EQ(rig->parts.progress.Position(), 100) << failure.name;
    EXPECT_TRUE(rig->bus.Speaker(0).upload.payload.empty()) << failure.name;
  }
}

TEST_F(WorkerThreadsTest, EveryWayOfLeavingRunsTheExitChecks) {
  for (const auto& way : kWaysToLeave) {
    // A speaker without a boot loader must not be left behind.
    auto refusing = ScannedRig({Complete(0x40001), WithoutBootLoader(0x40002)});
    way.leave(*refusing);
    EXPECT_TRUE(refusing->dialog->isVisible()) << way.name;
    EXPECT_EQ(refusing->prompts.messages,
              std::vector<std::string>{SpeakerNetwork::kMissingBootMessage})
        << way.name;
    EXPECT_EQ(refusing->View().statusText, "Status: ") << way.name;
    EXPECT_EQ(ApplicationModeCommands(refusing->bus), 0) << way.name;
    EXPECT_TRUE(refusing->dialog->Controller().Network().PortIsOpen()) << way.name;

    auto agreeing = ScannedRig({Complete(0x40003)});
    way.leave(*agreeing);
    EXPECT_FALSE(agreeing->dialog->isVisible()) << way.name;
    EXPECT_EQ(ApplicationModeCommands(agreeing->bus), 1) << way.name;
    EXPECT_FALSE(agreeing->dialog->Controller().Network().PortIsOpen()) << way.name;
  }
}

// True while the thread has slept in the kernel for 20 looks in a row, 1 ms apart.
bool KeepsSleeping(pid_t thread) {
  for (int look = 0; look < 20; ++look) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos || text.compare(nameEnd, 3, ") S") != 0)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST_F(WorkerThreadsTest, LeavingDuringTheScanWaitsForTheWholeScan) {
  std::atomic<bool> exitChecksDuringListing{false};
  WorkerRig rig(twoSpeakers);
  const pid_t windowThread = ::gettid();
  // After letting go of the engine the scan still lists the models from the speaker table,
  // which the exit checks rewrite. The listing is held until the window's thread sleeps, as
  // it does waiting for the scan, or the exit checks ask who is there: they did not wait.
  platform::SetTraceSink([&, before = -1](const std::string& line) mutable {
    if (line.rfind("Speakertype", 0) != 0)
      return;
    const auto requests = [&rig] { return CountFrames(rig.bus, kIdentifyRequest); };
    if (before < 0) {
      before = requests();
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (requests() == before && !KeepsSleeping(windowThread) &&
             std::chrono::steady_clock::now() < end) {
      }
    }
    if (requests() > before)
      exitChecksDuringListing = true;
  });
  rig.HoldScanUntilExit();
  rig.dialog->StartScan();
  ASSERT_TRUE(rig.clock.WaitUntilHolding());
  rig.Click(rig.parts.exit);
  platform::SetTraceSink({});
  EXPECT_FALSE(rig.dialog->isVisible());
  EXPECT_FALSE(exitChecksDuringListing) << "the exit checks ran while the scan listed models";
  EXPECT_FALSE(rig.dialog->Controller().WorkersRunning())
      << "the scan ended before the exit checks";
  EXPECT_EQ(rig.parts.speakers.TotalSpeakers(), 2);
  EXPECT_EQ(ApplicationModeCommands(rig.bus), 1);
  QApplication::processEvents();
}

// Exit button and Escape, answered No (the upload goes on) and Yes (it stops before its next
// block, the window ends and the stopped thread still finishes its report).
TEST_F(WorkerThreadsTest, LeavingDuringAnUploadAsksFirst) {
  for (const bool yes : {false, true}) {
    for (const auto& way : {kWaysToLeave[0], kWaysToLeave[1]}) {
      const std::string name = std::string(way.name) + (yes ? " yes" : " no");
      auto rig = ScannedRig(twoSpeakers);
      ASSERT_TRUE(rig->StartHeldUpload(kHoldBlock)) << name;
      rig->prompts.answerYes = yes;
      way.leave(*rig);
      EXPECT_EQ(rig->prompts.questions,
                std::vector<std::string>{"If you exit while upload in progress\nyou might damage "
                                         "your setup.\nDo you wish to exit anyway???"})
          << name;
      EXPECT_EQ(rig->dialog->isVisible(), !yes) << name;
      if (yes) {
        EXPECT_EQ(CountFrames(rig->bus, kDataBlock), kHoldBlock) << name;
        EXPECT_EQ(ApplicationModeCommands(rig->bus), 1) << name;
        EXPECT_FALSE(rig->dialog->Controller().Network().PortIsOpen()) << name;
      } else {
        EXPECT_EQ(rig->View().statusText, "Status: Uploading Firmware") << name;
        rig->Click(rig->parts.upload);  // one upload at a time
        EXPECT_EQ(rig->prompts.messages,
                  std::vector<std::string>{"Another Upload Is Currently In Progress"})
            << name;
        rig->clock.Release();
      }
      ASSERT_TRUE(rig->WaitForWorkers()) << name;
      const UploadDialog::View view = rig->View();
      EXPECT_EQ(view.statusText, yes ? kErrorsStatus : "Status: Upload Complete") << name;
      EXPECT_EQ(view.box, BoxContent::kReport) << name;
      EXPECT_EQ(view.reportText.find("Didn't Respond With Upload") != std::string::npos, yes)
          << name;
      EXPECT_EQ(rig->parts.progress.Position(), 100) << name;
      EXPECT_FALSE(rig->dialog->Controller().Uploading()) << name;
      EXPECT_EQ(rig->bus.Speaker(1).upload.payload == PayloadOf(rig->Selected()), !yes) << name;
      EXPECT_EQ(ApplicationModeCommands(rig->bus), yes ? 1 : 0) << name;
    }
  }
}

TEST_F(WorkerThreadsTest, WithoutSpeakersNothingIsListedOrSent) {
  auto rig = ScannedRig({});
  EXPECT_EQ(rig->parts.firmware.Catalog().EntryCount(), 0);
  rig->Click(rig->parts.upload);
  ASSERT_TRUE(rig->WaitForWorkers());
  EXPECT_EQ(rig->prompts.messages, std::vector<std::string>{"No Firmware Selected"});
  EXPECT_EQ(CountFrames(rig->bus, kUploadStart), 0);
}

TEST_F(WorkerThreadsTest, DestroyingTheWindowStopsAndJoinsItsThreads) {
  // During an upload: it stops before its next block and the thread is waited for.
  auto uploading = ScannedRig(twoSpeakers);
  ASSERT_TRUE(uploading->StartHeldUpload(kHoldBlock));
  uploading->dialog.reset();
  EXPECT_EQ(CountFrames(uploading->bus, kDataBlock), kHoldBlock);

  // During the start-up scan: its result is never delivered to the destroyed window.
  WorkerRig scanning(twoSpeakers);
  scanning.dialog->StartScan();
  scanning.dialog.reset();
  QApplication::processEvents();
  EXPECT_GT(CountFrames(scanning.bus, kIdentifyRequest), 0);
}

}  // namespace
}  // namespace flashdesk
