// The window model with its scan and upload threads against simulated speakers in virtual
// time: commands, the exit sequence and the threads' hand-over to the window's thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "records/UploadHistory.h"
#include "tests/platform/FakeDeviceTree.h"
#include "tests/window/WindowRig.h"

namespace flashdesk {
namespace {

using ::testing::HasSubstr;
using window::BitmapId;
using window::BoxContent;
using window::Colour;
using window::FontName;
using window::Point;
using window::Rect;
using window::UploadDialog;
using window_testing::CountFrames;
using window_testing::ScannedRig;
using window_testing::WindowRig;

constexpr std::uint8_t kTarnS2 = 3;
// Our sample images are 32 blocks long.
constexpr std::int32_t kHoldBlock = 10;
constexpr const char* kErrorsStatus = "Status: One Or More Errors May Have Occoured";

sim::SpeakerConfig Complete(std::uint32_t serial, std::uint8_t type = kTarnS2) {
  return testing_support::SimulatedSetup::CompleteSpeaker(type, serial);
}
sim::SpeakerConfig WithoutBootLoader(std::uint32_t serial) {
  sim::SpeakerConfig speaker = Complete(serial, 4);
  speaker.software.erase(speaker.software.begin());
  return speaker;
}

int ApplicationModeCommands(const sim::SpeakerBus& bus) {
  return CountFrames(bus, kModeCommand, kApplicationMode);
}

std::vector<std::uint8_t> PayloadOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
  return {bytes.begin() + sim::kImageHeaderLength, bytes.end()};
}

// Every test keeps its upload history in a folder of its own.
struct WorkerThreads : ::testing::Test {
  WorkerThreads() {
    testing_support::SetEnvironment(testing_support::kStateVariable,
                                    (state.path / "state").string());
  }
  ~WorkerThreads() override {
    testing_support::SetEnvironment(testing_support::kStateVariable, previous);
  }
  std::vector<records::UploadRecord> History() const {
    return records::UploadHistory().Read().records;
  }

  const char* const saved = std::getenv(testing_support::kStateVariable);
  const std::string previous = saved != nullptr ? saved : "";
  testing_support::TempFolder state;
  const std::vector<sim::SpeakerConfig> twoSpeakers = {Complete(0x10001), Complete(0x10002)};
};

TEST_F(WorkerThreads, TheRoadOfOneUploadFromStartToExit) {
  WindowRig rig(twoSpeakers);
  // The scan's result reaches the window only through its thread.
  rig.dialog->StartScan();
  EXPECT_TRUE(rig.View().searching);
  ASSERT_TRUE(rig.RunUntil([&rig] { return !rig.View().searching; }));
  EXPECT_EQ(rig.store.stored, "3");
  // Boot loaders are offered for a single speaker only.
  std::vector<std::int32_t> kinds;
  const FirmwareCatalog& catalog = rig.dialog->Firmware().Catalog();
  for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
    kinds.push_back(catalog.Entry(i).kind);
  EXPECT_EQ(kinds, (std::vector<std::int32_t>{kKindApplication, kKindApplication, kKindTest}));

  rig.TickFirmware(1);
  const std::string chosen = rig.Selected();
  ASSERT_EQ(std::filesystem::path(chosen).filename(), "TarnS2V1.23.syx");
  ASSERT_TRUE(rig.StartHeldUpload(kHoldBlock));
  EXPECT_EQ(rig.View().statusText, "Status: Uploading Firmware");
  EXPECT_EQ(rig.View().box, BoxContent::kHelpPage0) << "an open help page stays open";
  EXPECT_GT(rig.dialog->Progress().Position(), 1);
  EXPECT_LT(rig.dialog->Progress().Position(), 98);

  rig.clock.Release();
  ASSERT_TRUE(rig.WaitForUpload());
  EXPECT_EQ(rig.View().statusText, "Status: Upload Complete");
  EXPECT_EQ(rig.View().box, BoxContent::kReport);
  EXPECT_THAT(rig.View().reportText,
              HasSubstr(" 2 Speaker(s) Passed:\n    - Serial: 65537\n    - Serial: 65538\n"));
  EXPECT_EQ(rig.dialog->Progress().Position(), 100);
  EXPECT_EQ(CountFrames(rig.bus, kUploadStart), 1);
  for (int speaker = 0; speaker < 2; ++speaker)
    EXPECT_EQ(rig.bus.Speaker(speaker).upload.payload, PayloadOf(chosen)) << speaker;
  // One history line, with the versions identified before the upload; written after the
  // report reached the window.
  ASSERT_TRUE(testing_support::WaitFor([this] { return !History().empty(); }));
  const std::vector<records::UploadRecord> history = History();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].fileName, "TarnS2V1.23.syx");
  EXPECT_EQ(history[0].port.number, 3);
  ASSERT_EQ(history[0].speakers.size(), 2u);
  EXPECT_EQ(history[0].speakers[1].outcome, records::Outcome::kPassed);
  EXPECT_EQ(history[0].speakers[1].speaker.versions.application, 123);

  // The status line says what is happening before the exit checks block the window.
  std::string shownDuringChecks;
  rig.front.paintNow = [&rig, &shownDuringChecks] { shownDuringChecks = rig.View().statusText; };
  rig.dialog->OnCommand(UploadDialog::kExitCommand);
  EXPECT_EQ(shownDuringChecks, "Status: Closing.... Please wait!!!");
  EXPECT_EQ(rig.front.ended, 0);
  EXPECT_EQ(ApplicationModeCommands(rig.bus), 1);
  EXPECT_FALSE(rig.line.BusPortOpen());
  EXPECT_TRUE(rig.prompts.messages.empty());
  EXPECT_TRUE(rig.prompts.questions.empty());
}

TEST_F(WorkerThreads, AnUploadNobodyTookIsNeverReportedAsComplete) {
  const struct {
    const char* name;
    std::function<void(WindowRig&)> spoil;
  } failures[] = {
      {"file refused", [](WindowRig& rig) { std::filesystem::resize_file(rig.Selected(), 3); }},
      {"no saved port", [](WindowRig& rig) { rig.store.stored.reset(); }},
      {"start unanswered", [](WindowRig& rig) { rig.bus.Vanish(); }},
      // TARN-S1 files for a TARN-S2: every speaker answers TYPE ERROR.
      {"another model's file", [](WindowRig& rig) { rig.TickSpeaker(1); }},
      // The upload waits for the search at most ten seconds.
      {"a search held past the lock limit",
       [](WindowRig& rig) {
         const int before = CountFrames(rig.bus, kIdentifyRequest);
         rig.clock.HoldWhen(
             [&rig, before] { return CountFrames(rig.bus, kIdentifyRequest) > before; });
         rig.dialog->ChooseMenuItem(UploadDialog::kAutomaticItem);
         ASSERT_TRUE(testing_support::WaitFor([&rig] { return rig.clock.Holding(); }));
       }},
  };
  for (const auto& failure : failures) {
    auto rig = ScannedRig({Complete(0x30001)});
    failure.spoil(*rig);
    rig->dialog->OnCommand(UploadDialog::kUploadCommand);
    ASSERT_TRUE(rig->WaitForUpload()) << failure.name;
    rig->clock.Release();
    EXPECT_EQ(rig->View().statusText, kErrorsStatus) << failure.name;
    EXPECT_EQ(rig->View().box, BoxContent::kReport) << failure.name;
    EXPECT_EQ(rig->dialog->Progress().Position(), 100) << failure.name;
    EXPECT_TRUE(rig->bus.Speaker(0).upload.payload.empty()) << failure.name;
  }
}

TEST_F(WorkerThreads, TheExitChecksDecideWhetherTheWindowEnds) {
  // A speaker without a boot loader must not be left behind.
  auto refusing = ScannedRig({Complete(0x40001), WithoutBootLoader(0x40002)});
  refusing->dialog->RequestExit();
  EXPECT_FALSE(refusing->front.ended);
  EXPECT_EQ(refusing->prompts.messages, std::vector<std::string>{strings::kMissingBootMessage});
  EXPECT_EQ(refusing->View().statusText, "Status: ");
  EXPECT_EQ(ApplicationModeCommands(refusing->bus), 0);
  EXPECT_TRUE(refusing->line.BusPortOpen());

  auto agreeing = ScannedRig({Complete(0x40003)});
  agreeing->dialog->RequestExit();
  EXPECT_EQ(agreeing->front.ended, 0);
  EXPECT_EQ(ApplicationModeCommands(agreeing->bus), 1);
  EXPECT_FALSE(agreeing->line.BusPortOpen());
}

TEST_F(WorkerThreads, LeavingDuringTheScanWaitsForTheWholeScan) {
  WindowRig rig(twoSpeakers);
  std::atomic<bool> exitBegun{false};
  rig.front.paintNow = [&exitBegun] { exitBegun = true; };
  rig.clock.HoldWhen([&rig] { return CountFrames(rig.bus, kIdentifyRequest) > 0; },
                     [&exitBegun] { return exitBegun.load(); });
  rig.dialog->StartScan();
  ASSERT_TRUE(testing_support::WaitFor([&rig] { return rig.clock.Holding(); }));
  rig.dialog->RequestExit();
  EXPECT_EQ(rig.front.ended, 0);
  // The ping and five passes of the scan, then five passes of the exit checks.
  EXPECT_EQ(CountFrames(rig.bus, kIdentifyRequest), 11);
  EXPECT_EQ(rig.store.writes, std::vector<std::string>{"ComPort=3"});
  EXPECT_EQ(ApplicationModeCommands(rig.bus), 1);
}

// Answered No, the upload goes on; Yes stops it before its next block, ends the window, and
// the stopped thread still reports.
TEST_F(WorkerThreads, LeavingDuringAnUploadAsksFirst) {
  for (const bool yes : {false, true}) {
    auto rig = ScannedRig(twoSpeakers);
    ASSERT_TRUE(rig->StartHeldUpload(kHoldBlock)) << yes;
    rig->prompts.answerYes = yes;
    rig->dialog->RequestExit();
    EXPECT_EQ(rig->prompts.questions,
              std::vector<std::string>{"If you exit while upload in progress\nyou might damage "
                                       "your setup.\nDo you wish to exit anyway???"})
        << yes;
    EXPECT_EQ(rig->front.ended.has_value(), yes);
    if (yes) {
      EXPECT_EQ(CountFrames(rig->bus, kDataBlock), kHoldBlock);
      EXPECT_EQ(ApplicationModeCommands(rig->bus), 1);
      EXPECT_FALSE(rig->line.BusPortOpen());
    } else {
      EXPECT_EQ(rig->View().statusText, "Status: Uploading Firmware");
      rig->dialog->OnCommand(UploadDialog::kUploadCommand);  // one upload at a time
      EXPECT_EQ(rig->prompts.messages,
                std::vector<std::string>{"Another Upload Is Currently In Progress"});
      rig->clock.Release();
    }
    ASSERT_TRUE(rig->WaitForUpload()) << yes;
    EXPECT_EQ(rig->View().statusText, yes ? kErrorsStatus : "Status: Upload Complete");
    EXPECT_EQ(rig->View().reportText.find("Didn't Respond With Upload") != std::string::npos, yes);
    EXPECT_EQ(rig->dialog->Progress().Position(), 100) << yes;
    EXPECT_EQ(rig->bus.Speaker(1).upload.payload == PayloadOf(rig->Selected()), !yes);
  }
}

TEST_F(WorkerThreads, WithoutSpeakersNothingIsListedOrSent) {
  auto rig = ScannedRig({});
  EXPECT_EQ(rig->dialog->Firmware().Catalog().EntryCount(), 0);
  rig->dialog->OnCommand(UploadDialog::kUploadCommand);
  EXPECT_EQ(rig->prompts.messages, std::vector<std::string>{"No Firmware Selected"});
  EXPECT_FALSE(rig->dialog->Session().Uploading());
  EXPECT_EQ(CountFrames(rig->bus, kUploadStart), 0);
}

// Another program holds the bus port, which the search tries twice (saved first, then in
// turn); port 5 opens but is silent, the other numbers have no device.
TEST_F(WorkerThreads, ASearchThatFoundNobodySaysOnceWhyThePortsThereWouldNotOpen) {
  WindowRig rig(twoSpeakers);
  rig.line.AddSilentPort(5);
  platform::DeviceHandle held = platform::kInvalidHandle;
  ASSERT_FALSE(rig.line.Open("virtual:3", {}, held));
#ifndef _WIN32
  testing_support::FakeTree tree;
  tree.Process(4242, "minicom", {std::filesystem::absolute("virtual:3")});
  rig.dialog->SetDiscoveryRoots(tree.Roots());
  const std::string why = "virtual:3: in use, held by minicom (pid 4242).";
#else
  const std::string why = "virtual:3: in use by another program.";
#endif
  ASSERT_TRUE(rig.Scan());
  ASSERT_EQ(rig.prompts.messages.size(), 1u);
  const std::string& message = rig.prompts.messages[0];
  EXPECT_EQ(message.rfind(std::string(strings::kPortsRefusedMessage) + "\n" + why, 0), 0u)
      << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << "one line, one port";
  EXPECT_EQ(rig.View().statusText, strings::kStartStatus);
  EXPECT_EQ(rig.dialog->Speakers().TotalSpeakers(), 0);

  // Found: nothing to explain, though the search passed a held port on its way.
  ASSERT_FALSE(rig.line.Close(held));
  rig.line.AddSilentPort(1);
  ASSERT_FALSE(rig.line.Open("virtual:1", {}, held));
  rig.store.stored = "0";
  rig.dialog->ChooseMenuItem(UploadDialog::kAutomaticItem);
  ASSERT_TRUE(rig.View().searching);
  ASSERT_TRUE(rig.RunUntil([&rig] { return !rig.View().searching; }));
  const std::vector<std::int16_t> opens = rig.line.OpenAttempts();
  EXPECT_EQ(std::vector<std::int16_t>(opens.end() - 4, opens.end()),
            (std::vector<std::int16_t>{0, 1, 2, 3}));
  EXPECT_EQ(rig.dialog->Speakers().TotalSpeakers(), 2);
  EXPECT_EQ(rig.prompts.messages.size(), 1u);
}

TEST_F(WorkerThreads, DestroyingTheWindowStopsAndJoinsItsThreads) {
  // During an upload: it stops before its next block and the thread is waited for.
  auto uploading = ScannedRig(twoSpeakers);
  ASSERT_TRUE(uploading->StartHeldUpload(kHoldBlock));
  uploading->dialog.reset();
  EXPECT_EQ(CountFrames(uploading->bus, kDataBlock), kHoldBlock);

  // During the start-up scan: it cannot be stopped and runs to its end, the ping and five
  // identification passes, before the window is gone.
  WindowRig scanning(twoSpeakers);
  scanning.dialog->StartScan();
  scanning.dialog.reset();
  EXPECT_EQ(CountFrames(scanning.bus, kIdentifyRequest), 6);
  scanning.front.DiscardPosted();
}

TEST_F(WorkerThreads, AtOtherThanNinetySixDpiTheWindowSaysSoAndClosesWithoutAScan) {
  WindowRig rig({Complete(1)});
  window::UploadDialog dialog(rig.Services(), rig.front);
  EXPECT_FALSE(dialog.Initialise(120, 96));
  EXPECT_TRUE(rig.front.closeRequested);
  EXPECT_EQ(rig.prompts.messages,
            std::vector<std::string>{"This program doesn't scale correctly\nwith your dpi "
                                     "settings.\nSet dpi to 96 and try again"});
  dialog.StartScan();
  dialog.RequestExit();
  EXPECT_EQ(rig.front.ended, 0);
  EXPECT_TRUE(rig.line.OpenAttempts().empty()) << "no scan ran";
}

}  // namespace
}  // namespace flashdesk
