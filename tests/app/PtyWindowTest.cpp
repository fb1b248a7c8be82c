// The program's road in real time: the window on the real serial code, speakers simulated on
// the other side of a pseudo-terminal.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/MainDialog.h"
#include "platform/Clock.h"
#include "platform/SerialApi.h"
#include "sim/FirmwareImage.h"
#include "sim/posix/PtyBus.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/window/WindowRig.h"

namespace flashdesk {
namespace {

using testing_support::kPatienceMs;

TEST(PtyWindow, ScanUploadReportAndExitOnAPseudoTerminal) {
  gui_testing::EnsureApplication();
  gui_testing::FirmwareFolder folder;
  std::string error;
  ASSERT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error)) << error;
  const std::filesystem::path scratch = std::filesystem::current_path();
  // Port names lead into the scratch folder, for this test program only.
  setenv("FLASHDESK_PORT_TEMPLATE", (scratch / "COM%i").string().c_str(), 1);

  // Both keep quiet until the scan's mode command; then the first sends the boot signal.
  sim::SpeakerBus bus;
  for (const std::uint32_t serial : {0x70001u, 0x70002u}) {
    sim::SpeakerConfig quiet = gui_testing::SimulatedSetup::CompleteSpeaker(3, serial);
    quiet.mode = sim::SpeakerMode::kApplication;
    quiet.silentInApplication = true;
    quiet.bootSignalPeriodMs = serial == 0x70001u ? 500 : 0;
    bus.AddSpeaker(quiet);
  }
  sim::PtyBus pty(bus, (scratch / "COM3").string());
  ASSERT_TRUE(pty.Start(error)) << error;

  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
  MainDialog dialog(
      EngineServices{platform::SystemSerialApi(), platform::SystemClock(), store, prompts});
  window::UploadDialog& model = dialog.Model();

  std::string chosen;
  std::int32_t progress = 0;
  window::UploadDialog::View afterUpload;
  // Clicks at the window's own pixels, as a user would.
  QTimer::singleShot(0, &dialog, [&] {
    if (!QTest::qWaitFor([&] { return !model.CurrentView().searching; }, kPatienceMs))
      return;
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(557, 299));  // the second file
    model.Firmware().GetSelectedFile(chosen);
    QTest::mouseClick(dialog.findChild<QWidget*>("upload"), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return model.CurrentView().box == window::BoxContent::kReport; },
                         kPatienceMs))
      return;
    QApplication::processEvents();
    progress = model.Progress().Position();
    afterUpload = model.CurrentView();
    QTest::mouseClick(dialog.findChild<QWidget*>("exit"), Qt::LeftButton);
  });
  // Ends a run whose script stopped waiting, so the test fails instead of hanging.
  QTimer::singleShot(4 * kPatienceMs, &dialog, [&dialog] { dialog.done(-1); });
  EXPECT_EQ(dialog.exec(), 0);
  pty.Stop();

  EXPECT_EQ(store.stored, "3") << "the scan found the bus and saved its port";
  EXPECT_EQ(std::filesystem::path(chosen).filename(), "TarnS2V1.23.syx");
  EXPECT_EQ(afterUpload.statusText, "Status: Upload Complete");
  EXPECT_NE(afterUpload.reportText.find(" 2 Speaker(s) Passed:\n"), std::string::npos)
      << afterUpload.reportText;
  for (int speaker = 0; speaker < 2; ++speaker)
    EXPECT_TRUE(bus.Speaker(speaker).upload.complete) << speaker;
  EXPECT_EQ(progress, 100);
  EXPECT_EQ(window_testing::CountFrames(bus, kModeCommand, kApplicationMode), 1);
  EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace flashdesk
