// The whole window with its scan and upload threads against simulated speakers in virtual
// time: commands, the exit sequence and the threads' hand-over to the window.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <filesystem>

#include "tests/app/WorkerTestRig.h"

namespace flashdesk {
namespace {

using worker_testing::ApplicationModeCommands;
using worker_testing::CompleteSpeaker;
using worker_testing::FramesOf;
using worker_testing::PayloadOf;
using worker_testing::WorkerRig;

constexpr std::uint8_t kTarnS2 = 3;
// Our sample images are 32 blocks long.
constexpr std::int32_t kHoldBlock = 10;

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

sim::SpeakerConfig WithoutBootLoader(sim::SpeakerConfig speaker) {
  speaker.software.erase(speaker.software.begin());
  return speaker;
}

struct WorkerThreadsTest : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  // The rig, its sample firmware in syx/, and the scan done.
  static std::unique_ptr<WorkerRig> ScannedRig(const std::vector<sim::SpeakerConfig>& speakers) {
    auto rig = std::make_unique<WorkerRig>(speakers);
    std::string error;
    EXPECT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error)) << error;
    EXPECT_TRUE(rig->Scan());
    return rig;
  }

  // Starts an upload of the selected file that holds after kHoldBlock blocks.
  static void StartHeldUpload(WorkerRig& rig) {
    rig.HoldUploadAfterBlock(kHoldBlock);
    rig.Click(rig.dialog->uploadButton);
    ASSERT_TRUE(rig.clock.WaitUntilHolding());
    QApplication::processEvents();
  }

  const std::vector<sim::SpeakerConfig> twoSpeakers = {CompleteSpeaker(kTarnS2, 0x10001),
                                                       CompleteSpeaker(kTarnS2, 0x10002)};
};

TEST_F(WorkerThreadsTest, TheRoadOfOneUploadFromStartToExit) {
  WorkerRig rig(twoSpeakers);
  std::string error;
  ASSERT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error)) << error;
  UploadDialog& dialog = *rig.dialog;

  // The scan's result reaches the window only through its event loop.
  dialog.StartScan();
  EXPECT_TRUE(rig.View().searching);
  const QRect notice(550, 120, 240, 40);
  EXPECT_GT(gui_testing::CountTextPixels(gui_testing::Snapshot(dialog), notice), 100);
  ASSERT_TRUE(rig.Scan());
  EXPECT_EQ(dialog.speakerPanel.EntryCount(), 8);
  EXPECT_EQ(dialog.speakerPanel.SelectedType(), kTarnS2);
  EXPECT_EQ(FileName(rig.Selected()), "TarnS2V1.00.syx") << "catalog built, first file chosen";
  EXPECT_EQ(rig.store.stored, "3");

  rig.ToggleFirmware(1);
  const std::string chosen = rig.Selected();
  ASSERT_EQ(FileName(chosen), "TarnS2V1.23.syx");

  StartHeldUpload(rig);
  UploadDialog::View view = rig.View();
  EXPECT_EQ(view.statusText, "Status: Uploading Firmware");
  EXPECT_FALSE(view.reportShown);
  EXPECT_TRUE(view.helpShown) << "an open help page stays open during an upload";
  EXPECT_TRUE(dialog.Uploading());
  const std::int32_t midway = dialog.progress.Position();
  EXPECT_GT(midway, 1);
  EXPECT_LT(midway, 98);

  rig.clock.Release();
  ASSERT_TRUE(rig.WaitForWorkers());
  view = rig.View();
  EXPECT_EQ(view.statusText, "Status: Upload Complete");
  EXPECT_TRUE(view.reportShown);
  EXPECT_FALSE(view.helpShown);
  EXPECT_NE(view.reportText.find(" 2 Speaker(s) Passed:\n"), std::string::npos) << view.reportText;
  EXPECT_NE(view.reportText.find("    - Serial: 65537\n"), std::string::npos);
  EXPECT_NE(view.reportText.find("    - Serial: 65538\n"), std::string::npos);
  EXPECT_EQ(dialog.progress.Position(), 100);
  EXPECT_FALSE(dialog.Uploading());
  EXPECT_EQ(FramesOf(rig.bus, kUploadStart).size(), 1u);
  for (int speaker = 0; speaker < 2; ++speaker) {
    EXPECT_EQ(rig.bus.Speaker(speaker).upload.payload, PayloadOf(chosen)) << speaker;
  }

  rig.Click(dialog.helpButton);
  view = rig.View();
  EXPECT_TRUE(view.helpShown);
  EXPECT_EQ(view.helpPage, 0);
  EXPECT_FALSE(view.reportShown);

  rig.Click(dialog.exitButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(ApplicationModeCommands(rig.bus), 1);
  EXPECT_FALSE(dialog.speakerPanel.network.PortIsOpen());
  EXPECT_TRUE(rig.prompts.messages.empty());
  EXPECT_TRUE(rig.prompts.questions.empty());
}

TEST_F(WorkerThreadsTest, ChecksumFaultOnTheFirstAttemptIsRetriedAndReported) {
  sim::SpeakerConfig faulty = CompleteSpeaker(kTarnS2, 0x20001);
  faulty.injectedErrors = {{1, 5, kReplyChecksumError}};
  auto rig = ScannedRig({faulty});
  const std::string chosen = rig->Selected();

  rig->Click(rig->dialog->uploadButton);
  ASSERT_TRUE(rig->WaitForWorkers());
  EXPECT_EQ(FramesOf(rig->bus, kUploadStart).size(), 2u);
  EXPECT_LT(rig->DataBlocksReceived(), 64) << "the first attempt stopped at the fault";
  const UploadDialog::View view = rig->View();
  EXPECT_EQ(view.statusText, "Status: Upload Complete");
  EXPECT_NE(view.reportText.find(" 1 Speaker(s) Passed:\n    - Serial: 131073\n"),
            std::string::npos)
      << view.reportText;
  EXPECT_EQ(rig->bus.Speaker(0).upload.payload, PayloadOf(chosen));
}

TEST_F(WorkerThreadsTest, FailedUploadIsNeverReportedAsComplete) {
  // Each of these makes the engine give up with no speaker event left unfinished.
  const struct {
    const char* name;
    std::function<void(WorkerRig&)> spoil;
    bool engineBusy;
  } failures[] = {
      {"file refused", [](WorkerRig& rig) { std::filesystem::resize_file(rig.Selected(), 3); },
       false},
      {"no saved port", [](WorkerRig& rig) { rig.store.stored.reset(); }, false},
      {"start unanswered", [](WorkerRig& rig) { rig.bus.Vanish(); }, false},
      {"engine busy past the lock limit", [](WorkerRig&) {}, true},
  };
  for (const auto& failure : failures) {
    auto rig = ScannedRig({CompleteSpeaker(kTarnS2, 0x30001)});
    failure.spoil(*rig);
    std::unique_lock<std::timed_mutex> busy(rig->dialog->speakerPanel.network.lock,
                                            std::defer_lock);
    if (failure.engineBusy)
      busy.lock();
    rig->Click(rig->dialog->uploadButton);
    ASSERT_TRUE(rig->WaitForWorkers()) << failure.name;
    const UploadDialog::View view = rig->View();
    EXPECT_EQ(view.statusText, "Status: One Or More Errors May Have Occoured") << failure.name;
    EXPECT_TRUE(view.reportShown) << failure.name;
    EXPECT_EQ(rig->dialog->progress.Position(), 100) << failure.name;
    EXPECT_TRUE(rig->bus.Speaker(0).upload.payload.empty()) << failure.name;
  }
}

// The ways a user can leave: each must run the exit checks, never end the window around them.
enum class Leave { kExitButton, kCloseButton, kCloseRequest, kEscape };

void LeaveBy(WorkerRig& rig, Leave way) {
  UploadDialog& dialog = *rig.dialog;
  switch (way) {
    case Leave::kExitButton:
      rig.Click(dialog.exitButton);
      break;
    case Leave::kCloseButton:
      rig.Click(dialog.closeButton);
      break;
    case Leave::kCloseRequest:
      dialog.close();
      break;
    case Leave::kEscape:
      QTest::keyClick(&dialog, Qt::Key_Escape);
      break;
  }
}

const struct {
  Leave way;
  const char* name;
} kWaysToLeave[] = {{Leave::kExitButton, "Exit button"},
                    {Leave::kCloseButton, "close button"},
                    {Leave::kCloseRequest, "close request"},
                    {Leave::kEscape, "Escape"}};

TEST_F(WorkerThreadsTest, EveryWayOfLeavingRunsTheExitChecks) {
  for (const auto& leave : kWaysToLeave) {
    // A speaker without a boot loader must not be left behind.
    auto refusing = ScannedRig(
        {CompleteSpeaker(kTarnS2, 0x40001), WithoutBootLoader(CompleteSpeaker(4, 0x40002))});
    LeaveBy(*refusing, leave.way);
    EXPECT_TRUE(refusing->dialog->isVisible()) << leave.name;
    EXPECT_EQ(refusing->prompts.messages,
              std::vector<std::string>{SpeakerNetwork::kMissingBootMessage})
        << leave.name;
    EXPECT_EQ(refusing->View().statusText, "Status: ") << leave.name;
    EXPECT_EQ(ApplicationModeCommands(refusing->bus), 0) << leave.name;
    EXPECT_TRUE(refusing->dialog->speakerPanel.network.PortIsOpen()) << leave.name;

    auto agreeing = ScannedRig({CompleteSpeaker(kTarnS2, 0x40003)});
    LeaveBy(*agreeing, leave.way);
    EXPECT_FALSE(agreeing->dialog->isVisible()) << leave.name;
    EXPECT_EQ(ApplicationModeCommands(agreeing->bus), 1) << leave.name;
    EXPECT_FALSE(agreeing->dialog->speakerPanel.network.PortIsOpen()) << leave.name;
  }
}

TEST_F(WorkerThreadsTest, LeavingDuringTheScanWaitsForTheWholeScan) {
  WorkerRig rig(twoSpeakers);
  rig.HoldScanUntilExit();
  rig.dialog->StartScan();
  ASSERT_TRUE(rig.clock.WaitUntilHolding());
  rig.Click(rig.dialog->exitButton);
  EXPECT_FALSE(rig.dialog->isVisible());
  EXPECT_FALSE(rig.dialog->WorkersRunning()) << "the scan ended before the exit checks";
  EXPECT_EQ(rig.dialog->speakerPanel.TotalSpeakers(), 2);
  EXPECT_EQ(ApplicationModeCommands(rig.bus), 1);
  QApplication::processEvents();
}

TEST_F(WorkerThreadsTest, LeavingAgainWhileTheExitChecksShowAMessageStartsNoSecondExit) {
  auto rig = ScannedRig(
      {CompleteSpeaker(kTarnS2, 0x40101), WithoutBootLoader(CompleteSpeaker(4, 0x40102))});
  const std::size_t identificationsBefore = FramesOf(rig->bus, kIdentifyRequest).size();
  rig->prompts.duringNextMessage = [&rig] { QTest::keyClick(rig->dialog.get(), Qt::Key_Escape); };
  rig->Click(rig->dialog->exitButton);
  EXPECT_EQ(rig->prompts.messages.size(), 1u);
  EXPECT_GT(FramesOf(rig->bus, kIdentifyRequest).size(), identificationsBefore);
  EXPECT_TRUE(rig->dialog->isVisible());
  EXPECT_EQ(rig->View().statusText, "Status: ");

  // Once the first exit is over, leaving works again.
  LeaveBy(*rig, Leave::kEscape);
  EXPECT_EQ(rig->prompts.messages.size(), 2u);
}

TEST_F(WorkerThreadsTest, LeavingDuringAnUploadAskedNoLetsTheUploadGoOn) {
  for (const Leave way : {Leave::kExitButton, Leave::kEscape}) {
    auto rig = ScannedRig(twoSpeakers);
    const std::string chosen = rig->Selected();
    StartHeldUpload(*rig);
    rig->prompts.answerYes = false;
    LeaveBy(*rig, way);
    EXPECT_EQ(rig->prompts.questions,
              std::vector<std::string>{"If you exit while upload in progress\nyou might damage "
                                       "your setup.\nDo you wish to exit anyway???"});
    EXPECT_TRUE(rig->dialog->isVisible());
    EXPECT_TRUE(rig->dialog->Uploading());
    EXPECT_EQ(rig->View().statusText, "Status: Uploading Firmware");

    rig->clock.Release();
    ASSERT_TRUE(rig->WaitForWorkers());
    EXPECT_EQ(rig->View().statusText, "Status: Upload Complete");
    EXPECT_EQ(rig->bus.Speaker(1).upload.payload, PayloadOf(chosen));
    EXPECT_EQ(ApplicationModeCommands(rig->bus), 0) << "the exit checks never ran";
  }
}

TEST_F(WorkerThreadsTest, LeavingDuringAnUploadAskedYesStopsItBeforeItsNextBlock) {
  for (const Leave way : {Leave::kExitButton, Leave::kEscape}) {
    auto rig = ScannedRig(twoSpeakers);
    StartHeldUpload(*rig);
    // The exit checks wait for the engine, which the held upload lets go once asked to stop.
    LeaveBy(*rig, way);
    EXPECT_EQ(rig->prompts.questions.size(), 1u);
    EXPECT_FALSE(rig->dialog->isVisible());
    EXPECT_EQ(rig->DataBlocksReceived(), kHoldBlock);
    EXPECT_EQ(ApplicationModeCommands(rig->bus), 1);
    EXPECT_FALSE(rig->dialog->speakerPanel.network.PortIsOpen());

    // The stopped thread still finishes its report.
    ASSERT_TRUE(rig->WaitForWorkers());
    const UploadDialog::View view = rig->View();
    EXPECT_EQ(view.statusText, "Status: One Or More Errors May Have Occoured");
    EXPECT_TRUE(view.reportShown);
    EXPECT_NE(view.reportText.find("Didn't Respond With Upload Complete"), std::string::npos)
        << view.reportText;
    EXPECT_EQ(rig->dialog->progress.Position(), 100);
    EXPECT_FALSE(rig->dialog->Uploading());
  }
}

TEST_F(WorkerThreadsTest, RefusedExitAfterAStoppedUploadAcceptsUploadAgain) {
  auto rig = ScannedRig(
      {CompleteSpeaker(kTarnS2, 0x50001), WithoutBootLoader(CompleteSpeaker(4, 0x50002))});
  StartHeldUpload(*rig);
  rig->Click(rig->dialog->exitButton);
  EXPECT_TRUE(rig->dialog->isVisible());
  EXPECT_EQ(rig->prompts.messages.size(), 1u);
  // The stopped thread's report and the refused exit's status line may come in either order.
  ASSERT_TRUE(rig->WaitForWorkers());
  EXPECT_TRUE(rig->View().reportShown);
  EXPECT_FALSE(rig->dialog->Uploading());

  rig->Click(rig->dialog->uploadButton);
  ASSERT_TRUE(rig->WaitForWorkers());
  EXPECT_EQ(rig->prompts.messages.size(), 1u) << "no message: the upload was accepted";
  EXPECT_EQ(FramesOf(rig->bus, kUploadStart).size(), 2u);
}

TEST_F(WorkerThreadsTest, UploadChecksTheSelectionFirstAndStartsOneUploadAtATime) {
  WorkerRig rig(twoSpeakers);
  std::string error;
  ASSERT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error));
  // Before the scan's result the firmware list is empty.
  rig.Click(rig.dialog->uploadButton);
  EXPECT_EQ(rig.prompts.messages, std::vector<std::string>{"No Firmware Selected"});
  ASSERT_TRUE(rig.Scan());

  StartHeldUpload(rig);
  rig.Click(rig.dialog->uploadButton);
  EXPECT_EQ(rig.prompts.messages.back(), "Another Upload Is Currently In Progress");
  rig.ToggleFirmware(0);
  ASSERT_TRUE(rig.Selected().empty());
  rig.Click(rig.dialog->uploadButton);
  EXPECT_EQ(rig.prompts.messages.back(), "No Firmware Selected");
  EXPECT_EQ(rig.prompts.messages.size(), 3u);

  rig.clock.Release();
  ASSERT_TRUE(rig.WaitForWorkers());
  EXPECT_EQ(FramesOf(rig.bus, kUploadStart).size(), 1u);
  EXPECT_EQ(rig.View().statusText, "Status: Upload Complete");
}

TEST_F(WorkerThreadsTest, BootLoadersAreOfferedAfterTheScanOnlyForASingleSpeaker) {
  const struct {
    std::vector<sim::SpeakerConfig> speakers;
    bool bootOffered;
    std::int32_t listed;
  } cases[] = {
      {{CompleteSpeaker(kTarnS2, 0x60001)}, true, 4},
      {{CompleteSpeaker(kTarnS2, 0x60001), CompleteSpeaker(kTarnS2, 0x60002)}, false, 3},
      {{}, false, 0},
  };
  for (const auto& example : cases) {
    auto rig = ScannedRig(example.speakers);
    const FirmwareCatalog& catalog = rig->dialog->firmwarePanel.Catalog();
    EXPECT_EQ(catalog.EntryCount(), example.listed) << example.speakers.size();
    bool bootListed = false;
    for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
      bootListed = bootListed || catalog.Entry(i).kind == kKindBoot;
    EXPECT_EQ(bootListed, example.bootOffered) << example.speakers.size();
  }
}

TEST_F(WorkerThreadsTest, NoSpeakersLeaveNothingToUpload) {
  auto rig = ScannedRig({});
  rig->Click(rig->dialog->uploadButton);
  EXPECT_EQ(rig->prompts.messages, std::vector<std::string>{"No Firmware Selected"});
  EXPECT_TRUE(FramesOf(rig->bus, kUploadStart).empty());
}

TEST_F(WorkerThreadsTest, DestroyingTheWindowStopsAndJoinsItsThreads) {
  // During an upload: it stops before its next block and the thread is waited for.
  auto uploading = ScannedRig(twoSpeakers);
  StartHeldUpload(*uploading);
  uploading->dialog.reset();
  EXPECT_EQ(uploading->DataBlocksReceived(), kHoldBlock);

  // During the start-up scan: its result is never delivered to the destroyed window.
  WorkerRig scanning(twoSpeakers);
  scanning.dialog->StartScan();
  scanning.dialog.reset();
  QApplication::processEvents();
  EXPECT_FALSE(FramesOf(scanning.bus, kIdentifyRequest).empty());
}

TEST_F(WorkerThreadsTest, DraggingTheFreeSurfaceMovesTheWindow) {
  WorkerRig rig({});
  UploadDialog& dialog = *rig.dialog;
  const QPoint start = dialog.pos();
  const auto moveTo = [&dialog](QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, local, dialog.mapToGlobal(local), Qt::NoButton, buttons,
                     Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
  };
  QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(300, 30));
  moveTo(QPoint(340, 60), Qt::LeftButton);
  EXPECT_EQ(dialog.pos() - start, QPoint(40, 30));
  // The pointer stays over the press point as the window follows it.
  moveTo(QPoint(310, 35), Qt::LeftButton);
  EXPECT_EQ(dialog.pos() - start, QPoint(50, 35));

  QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(310, 35));
  moveTo(QPoint(400, 100), Qt::NoButton);
  EXPECT_EQ(dialog.pos() - start, QPoint(50, 35)) << "releasing the button ends the drag";
}

}  // namespace
}  // namespace flashdesk
