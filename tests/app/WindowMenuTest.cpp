// The right-click menu's file commands, files dropped on the window and the upload history
// the window keeps, with the real worker threads against simulated speakers.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "records/UploadHistory.h"
#include "tests/app/WorkerTestRig.h"
#include "tests/platform/FakeDeviceTree.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;
using worker_testing::WorkerRig;

constexpr std::uint8_t kTarnS2 = 3;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Answers the next file dialog with path once it is up, as a user picking it would.
class FileDialogAnswer {
 public:
  explicit FileDialogAnswer(const fs::path& path) : path(QString::fromStdString(path.string())) {
    timer.callOnTimeout([this] { Answer(); });
    timer.start(5);
  }

 private:
  void Answer() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(window);
      if (dialog != nullptr && dialog->isVisible()) {
        timer.stop();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
      }
    }
  }

  QString path;
  QTimer timer;
};

// Chooses an item of the window's right-click menu or of its submenus; false, without
// choosing, when it is grey.
bool ChooseFromMenu(UploadDialog& dialog, const std::string& item) {
  QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(20, 20),
                            dialog.mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(&dialog, &request);
  std::unique_ptr<QMenu> menu(dialog.findChild<QMenu*>(QString(), Qt::FindDirectChildrenOnly));
  if (!menu)
    return false;
  menu->hide();
  QAction* chosen = nullptr;
  for (QAction* action : menu->findChildren<QAction*>())
    chosen = action->text() == QString::fromStdString(item) ? action : chosen;
  const bool enabled = chosen != nullptr && chosen->isEnabled();
  if (enabled)
    chosen->trigger();
  return enabled;
}

struct WindowMenuTest : ::testing::Test {
  static void SetUpTestSuite() {
    gui_testing::EnsureApplication();
    static const TempFolder home;
    setenv("XDG_CONFIG_HOME", (home.path / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (home.path / "state").c_str(), 1);
  }

  static std::unique_ptr<WorkerRig> ScannedRig() {
    return worker_testing::ScannedRig({gui_testing::SimulatedSetup::CompleteSpeaker(kTarnS2, 7)});
  }
  static std::vector<std::string> ListedNames(WorkerRig& rig) {
    std::vector<std::string> names;
    const FirmwareCatalog& catalog = rig.parts.firmware.Catalog();
    for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
      names.push_back(fs::path(catalog.Entry(i).path).filename().string());
    return names;
  }

  TempFolder scratch;
};

TEST_F(WindowMenuTest, SaveReportWritesTheReportAsShownAndSaysWhenItCannot) {
  auto rig = ScannedRig();
  EXPECT_FALSE(ChooseFromMenu(*rig->dialog, strings::kSaveReportItem)) << "grey without a report";

  // Trailing blanks and the text after the last line feed are not shown, so not saved.
  rig->dialog->ChangeView([](UploadDialog::View& shown) {
    shown.reportText = " 1 Speaker(s) Passed:  \n    - Serial: 7\t\nunshown tail";
    shown.box = BoxContent::kReport;
  });
  const fs::path saved = scratch.path / "report.txt";
  const fs::path unwritable = scratch.path / "no such folder" / "report.txt";
  for (const fs::path& target : {saved, unwritable}) {
    FileDialogAnswer answer(target);
    EXPECT_TRUE(ChooseFromMenu(*rig->dialog, strings::kSaveReportItem));
  }
  EXPECT_EQ(Contents(saved), " 1 Speaker(s) Passed:\n    - Serial: 7\n");
  ASSERT_EQ(rig->prompts.messages.size(), 1u);
  EXPECT_EQ(rig->prompts.messages[0].rfind(strings::kReportNotSavedMessage, 0), 0u);
}

TEST_F(WindowMenuTest, AChosenFirmwareFolderIsListedAtOnceAndRemembered) {
  auto rig = ScannedRig();
  ASSERT_EQ(ListedNames(*rig), (std::vector<std::string>{"TarnS2V1.00.syx", "TarnS2V1.23.syx",
                                                         "bootKelV1.05.syx", "TestKelV1.00.syx"}));
  // One speaker: the usual rules still offer the boot loader.
  for (const char* name : {"TarnS2V2.00.syx", "bootKelV2.00.syx", "TarnS1V2.00.syx"})
    scratch.Write(name, {});
  {
    FileDialogAnswer answer(scratch.path);
    ASSERT_TRUE(ChooseFromMenu(*rig->dialog, strings::kFirmwareFolderItem));
  }
  EXPECT_EQ(ListedNames(*rig), (std::vector<std::string>{"TarnS2V2.00.syx", "bootKelV2.00.syx"}));
  EXPECT_EQ(rig->Selected(), (scratch.path / "TarnS2V2.00.syx").string());
  EXPECT_EQ(rig->store.writes.back(), "FirmwareFolder=" + scratch.path.string());

  // The next window starts in the remembered folder; without one, in syx.
  gui_testing::SimulatedSetup setup;
  const UploadDialog fresh(setup.Services());
  EXPECT_EQ(fresh.findChild<FirmwarePanel*>()->Folder(), FirmwareCatalog::kFolderName);
  setup.store.others[UploadDialog::kFolderValueName] = scratch.path.string();
  const UploadDialog remembering(setup.Services());
  EXPECT_EQ(remembering.findChild<FirmwarePanel*>()->Folder(), scratch.path.string());
}

TEST_F(WindowMenuTest, AChosenSerialPortIsSearchedAtOnceAndRemembered) {
  testing_support::FakeTree tree;
  tree.Tty("ttyACM0", tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}}) / "1-4:1.0",
           "cdc_acm");
  const std::string acm = tree.Dev("ttyACM0");
  auto rig = ScannedRig();
  rig->dialog->SetDiscoveryRoots(tree.Roots());
  const auto searchAt = [&rig](const std::string& item) {
    const std::size_t before = rig->line.OpenAttempts().size();
    EXPECT_TRUE(ChooseFromMenu(*rig->dialog, item)) << item;
    EXPECT_TRUE(QTest::qWaitFor(
        [&rig] { return !rig->View().searching && !rig->dialog->Controller().WorkersRunning(); },
        worker_testing::kPatienceMs));
    const std::vector<std::int16_t> opens = rig->line.OpenAttempts();
    return std::vector<std::int16_t>(opens.begin() + static_cast<std::ptrdiff_t>(before),
                                     opens.end());
  };
  const auto remembered = [&rig](const std::string& path) {
    const std::vector<std::string>& writes = rig->store.writes;
    return std::count(writes.begin(), writes.end(), "PortPath=" + path);
  };

  // The device alone is tried (it names no simulated port), and nobody is there.
  EXPECT_EQ(searchAt(acm), std::vector<std::int16_t>{-1});
  EXPECT_EQ(rig->parts.speakers.TotalSpeakers(), 0);
  EXPECT_EQ(rig->dialog->Controller().PinnedPort(), acm);
  EXPECT_EQ(remembered(acm), 1);
  EXPECT_EQ(rig->store.stored, "3") << "the saved number stays";

  EXPECT_EQ(searchAt("&Automatic"),
            std::vector<std::int16_t>{gui_testing::SimulatedSetup::kBusPort});
  EXPECT_EQ(rig->parts.speakers.TotalSpeakers(), 1);
  EXPECT_EQ(remembered(""), 1);

  // The next window starts at the remembered device.
  gui_testing::SimulatedSetup setup;
  setup.store.others[UploadDialog::kPortPathValueName] = acm;
  UploadDialog next(setup.Services());
  EXPECT_EQ(next.Controller().PinnedPort(), acm);
}

TEST_F(WindowMenuTest, DroppedFilesAreCopiedUnlessTheyWouldOverwriteOrBeRefused) {
  auto rig = ScannedRig();
  const fs::path folder = fs::absolute(FirmwareCatalog::kFolderName);
  const std::string before = Contents(folder / "TarnS2V1.00.syx");
  const std::string fresh = scratch.Write("TarnS2V3.00.syx", testing_support::ImageBytes(2, 200));
  const std::string taken = scratch.Write("TarnS2V1.00.syx", testing_support::ImageBytes(2, 99));
  const std::string refused = scratch.Write("TarnS2V4.00.syx", {2, 3, 3});
  const std::string notes = scratch.Write("notes.txt", {});

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(fresh)),
                 QUrl::fromLocalFile(QString::fromStdString(taken)),
                 QUrl::fromLocalFile(QString::fromStdString(refused)),
                 QUrl::fromLocalFile(QString::fromStdString(notes))});
  // A drop reaches the window that took the drag's entry.
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &files, Qt::LeftButton, {});
  QApplication::sendEvent(rig->dialog.get(), &enter);
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &files, Qt::LeftButton, {});
  QApplication::sendEvent(rig->dialog.get(), &drop);
  ASSERT_TRUE(QTest::qWaitFor([&rig] { return !rig->prompts.messages.empty(); },
                              worker_testing::kPatienceMs));

  EXPECT_EQ(rig->prompts.messages,
            std::vector<std::string>{"Copied to the firmware folder:\n"
                                     "  TarnS2V3.00.syx\n"
                                     "Not copied:\n"
                                     "  TarnS2V1.00.syx: a file of that name is already there\n"
                                     "  TarnS2V4.00.syx: the upload would refuse this file\n"
                                     "  notes.txt: not a .syx file"});
  EXPECT_EQ(Contents(folder / "TarnS2V3.00.syx"), Contents(fresh));
  EXPECT_EQ(Contents(folder / "TarnS2V1.00.syx"), before);
  EXPECT_FALSE(fs::exists(folder / "TarnS2V4.00.syx"));
  EXPECT_FALSE(fs::exists(folder / "notes.txt"));
  EXPECT_EQ(ListedNames(*rig)[2], "TarnS2V3.00.syx") << "the list is built again";
}

TEST_F(WindowMenuTest, EveryUploadLeavesAHistoryLineAndAnUnwritableHistoryOnlyTraces) {
  const std::string suiteState = std::getenv("XDG_STATE_HOME");
  for (const bool writable : {true, false}) {
    // A state folder below a plain file cannot be made.
    const std::string stateHome = (scratch.path / (writable ? "state" : "file")).string();
    if (!writable)
      scratch.Write("file", {});
    setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
    fakes::TraceCapture trace;
    auto rig = ScannedRig();
    rig->Click(rig->parts.upload);
    ASSERT_TRUE(rig->WaitForWorkers());
    EXPECT_EQ(rig->View().statusText, strings::kCompleteStatus) << writable;
    EXPECT_TRUE(rig->prompts.messages.empty()) << writable;
    const std::vector<std::string> traced = trace.Lines();
    EXPECT_EQ(std::any_of(traced.begin(), traced.end(),
                          [](const std::string& line) {
                            return line.find("history") != std::string::npos;
                          }),
              !writable);
    if (!writable)
      continue;

    const std::vector<records::UploadRecord> lines =
        records::UploadHistory(stateHome + "/flashdesk/history.jsonl").Read().records;
    ASSERT_EQ(lines.size(), 1u);
    const records::UploadRecord& line = lines[0];
    EXPECT_EQ(line.port.number, gui_testing::SimulatedSetup::kBusPort);
    EXPECT_EQ(line.fileName, "TarnS2V1.00.syx");
    ASSERT_EQ(line.speakers.size(), 1u);
    EXPECT_EQ(line.speakers[0].speaker.serial, 7u);
    EXPECT_EQ(line.speakers[0].outcome, records::Outcome::kPassed);
    // As identified before the upload.
    EXPECT_EQ(line.speakers[0].speaker.versions.application, 123);
  }
  setenv("XDG_STATE_HOME", suiteState.c_str(), 1);
}

}  // namespace
}  // namespace flashdesk
