#include "app/UploadDialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <thread>

#include "app/AboutDialog.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

using gui_testing::CountPixels;
using gui_testing::CountTextPixels;

const QColor kFrame(200, 200, 200);

QImage Rgb(const QImage& image) {
  return image.convertToFormat(QImage::Format_RGB32);
}
const QColor kFill(250, 250, 250);

struct DialogFixture : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  DialogFixture() { dialog.show(); }

  QImage Picture() {
    QApplication::processEvents();
    return gui_testing::Snapshot(dialog);
  }

  void ShowReport(const std::string& text) {
    dialog.ChangeView([&text](UploadDialog::View& view) {
      view.reportText = text;
      view.reportShown = true;
      view.helpShown = false;
    });
  }

  // Rows between top and bottom (inclusive) of the left box that hold text.
  int BoxTextPixels(int top, int bottom) {
    return CountTextPixels(Picture(), QRect(QPoint(50, top), QPoint(470, bottom)));
  }

  gui_testing::FirmwareFolder folder;
  gui_testing::SimulatedSetup setup;
  UploadDialog dialog{setup.Services()};
};

TEST_F(DialogFixture, ChildWindowsStandAtTheirPixels) {
  EXPECT_EQ(dialog.size(), QSize(800, 529));
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(dialog.Initialised());
  const struct {
    QWidget* child;
    QRect rect;
  } children[] = {
      {dialog.uploadButton, QRect(653, 410, 124, 36)},
      {dialog.exitButton, QRect(726, 490, 56, 24)},
      {dialog.closeButton, QRect(780, 5, 15, 15)},
      {dialog.helpButton, QRect(700, 9, 60, 23)},
      {&dialog.progress, QRect(196, 410, 443, 36)},
      {&dialog.speakerPanel, QRect(550, 120, 300, 100)},
      {&dialog.firmwarePanel, QRect(550, 268, 300, 100)},
  };
  for (const auto& expected : children) {
    ASSERT_NE(expected.child, nullptr);
    EXPECT_EQ(expected.child->geometry(), expected.rect);
    EXPECT_TRUE(expected.child->isVisible());
  }
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((dialog.geometry().center() - screenCentre).manhattanLength(), 2);
  EXPECT_EQ(dialog.uploadButton->accessibleName(), QStringLiteral("UPLOAD"));
  EXPECT_EQ(dialog.progress.accessibleName(), QStringLiteral("Progress"));

  const UploadDialog::View view = dialog.CurrentView();
  EXPECT_TRUE(view.searching);
  EXPECT_TRUE(view.helpShown);
  EXPECT_EQ(view.helpPage, 0);
  EXPECT_FALSE(view.reportShown);
  EXPECT_EQ(view.statusText, "Status:");
}

TEST_F(DialogFixture, HelpBoxHasItsFrameOutlineAndFill) {
  const QImage picture = Picture();
  EXPECT_EQ(picture.pixelColor(35, 96), kFrame);
  EXPECT_EQ(picture.pixelColor(474, 96), kFrame);
  EXPECT_EQ(picture.pixelColor(35, 385), kFrame);
  EXPECT_EQ(picture.pixelColor(474, 385), kFrame);
  EXPECT_EQ(picture.pixelColor(36, 97), QColor(Qt::black));
  EXPECT_EQ(picture.pixelColor(473, 384), QColor(Qt::black));
  EXPECT_EQ(picture.pixelColor(37, 98), kFill);
  EXPECT_EQ(picture.pixelColor(472, 383), kFill);
  EXPECT_NE(picture.pixelColor(34, 95), kFrame);
  EXPECT_NE(picture.pixelColor(475, 386), kFrame);
}

TEST_F(DialogFixture, ReportBoxGrowsTwentyPixelsPerLine) {
  for (const int lines : {0, 1, 3, 13}) {
    std::string report;
    for (int i = 0; i < lines; ++i)
      report += "Line " + std::to_string(i) + "\n";
    ShowReport(report + "not drawn: no line feed after it");
    const QImage picture = Picture();
    const int lastRow = 135 + 20 * lines;
    EXPECT_EQ(picture.pixelColor(35, lastRow), kFrame) << lines;
    EXPECT_EQ(picture.pixelColor(200, lastRow), kFrame) << lines;
    EXPECT_EQ(picture.pixelColor(36, lastRow - 1), QColor(Qt::black)) << lines;
    EXPECT_NE(picture.pixelColor(200, lastRow + 1), kFrame) << lines;
    // Each line stands in its own 20-pixel row from y = 116; the text after the last line
    // feed is not drawn.
    for (int j = 1; j <= lines; ++j) {
      EXPECT_GT(BoxTextPixels(96 + 20 * j, 96 + 20 * j + 14), 10) << lines << " line " << j;
    }
    EXPECT_EQ(BoxTextPixels(98 + 20 * lines + 20, lastRow - 2), 0) << lines;
  }
}

TEST_F(DialogFixture, ReportLinesKeepTheirIndentation) {
  ShowReport("Serial\n    Serial\nSerial   \t\n");
  const QImage picture = Picture();
  const auto firstTextColumn = [&picture](int top) {
    for (int x = 50; x < 470; ++x) {
      if (CountTextPixels(picture, QRect(x, top, 1, 15)) > 0)
        return x;
    }
    return -1;
  };
  const int plain = firstTextColumn(116);
  const int indented = firstTextColumn(136);
  ASSERT_GT(plain, 0);
  EXPECT_GT(indented - plain, 10) << "four blanks stay in front of the line";
  EXPECT_EQ(firstTextColumn(156), plain);
}

TEST_F(DialogFixture, HelpPagesCycleWithTheHelpButton) {
  // Page 0 has lines at 236 and 276, page 1 at 256; page 1 has none at 296, page 0 does.
  const auto page0 = [this] { return BoxTextPixels(256, 270) == 0 && BoxTextPixels(296, 310); };
  const auto page1 = [this] { return BoxTextPixels(256, 270) > 0 && BoxTextPixels(296, 310) == 0; };
  EXPECT_GT(BoxTextPixels(116, 133), 100) << "heading";
  EXPECT_TRUE(page0());
  EXPECT_GT(BoxTextPixels(356, 370), 30) << "press HELP for next page";

  QTest::mouseClick(dialog.helpButton, Qt::LeftButton);
  EXPECT_TRUE(page1());
  EXPECT_EQ(dialog.CurrentView().helpPage, 1);

  QTest::mouseClick(dialog.helpButton, Qt::LeftButton);
  EXPECT_FALSE(dialog.CurrentView().helpShown);
  EXPECT_NE(Picture().pixelColor(35, 96), kFrame);
  EXPECT_EQ(BoxTextPixels(100, 380), 0);

  QTest::mouseClick(dialog.helpButton, Qt::LeftButton);
  EXPECT_TRUE(page0());
}

TEST_F(DialogFixture, HelpReplacesTheReportAndBothFlagsDrawNoBox) {
  ShowReport("Upload report\n");
  QTest::mouseClick(dialog.helpButton, Qt::LeftButton);
  UploadDialog::View view = dialog.CurrentView();
  EXPECT_FALSE(view.reportShown);
  EXPECT_TRUE(view.helpShown);
  EXPECT_EQ(view.helpPage, 0);

  dialog.ChangeView([](UploadDialog::View& both) { both.reportShown = true; });
  EXPECT_NE(Picture().pixelColor(35, 96), kFrame);
}

TEST_F(DialogFixture, ScanNoticeCaptionsAndStatusLineAreDrawn) {
  const QRect notice(550, 120, 240, 40);
  QImage picture = Picture();
  EXPECT_GT(CountTextPixels(picture, QRect(550, 96, 200, 20)), 100) << "Select Speakers";
  EXPECT_GT(CountTextPixels(picture, QRect(550, 240, 200, 20)), 100) << "Select Software";
  EXPECT_GT(CountTextPixels(picture, notice), 100);
  EXPECT_GT(CountTextPixels(picture, QRect(196, 450, 60, 16)), 20) << "Status:";
  EXPECT_EQ(CountTextPixels(picture, QRect(260, 450, 300, 16)), 0);

  dialog.ChangeView([](UploadDialog::View& view) {
    view.searching = false;
    view.statusText = "Status: One Or More Errors May Have Occoured";
  });
  picture = Picture();
  EXPECT_EQ(CountTextPixels(picture, notice), 0);
  EXPECT_GT(CountTextPixels(picture, QRect(260, 450, 300, 16)), 50);
}

TEST_F(DialogFixture, ProgressFillsWithThePatternFromTheLeft) {
  const QImage pattern(QStringLiteral(":/bitmaps/147.png"));
  ASSERT_EQ(pattern.size(), QSize(451, 36));
  const struct {
    std::int32_t position;
    int fillRight;
  } cases[] = {{0, 2}, {50, 221}, {100, 441}, {1, 6}};
  for (const auto& example : cases) {
    dialog.progress.ReportProgress(example.position);
    EXPECT_EQ(dialog.progress.FillRight(443), example.fillRight);
    const QImage bar = gui_testing::Snapshot(dialog.progress);
    for (int x = 2; x < 441; ++x) {
      const QColor expected = x < example.fillRight ? pattern.pixelColor(x, 17) : QColor(Qt::white);
      ASSERT_EQ(bar.pixelColor(x, 17), expected) << example.position << " at x " << x;
    }
    EXPECT_EQ(bar.pixelColor(0, 0), QColor(180, 180, 180));
    EXPECT_EQ(bar.pixelColor(0, 34), QColor(180, 180, 180));
    EXPECT_EQ(bar.pixelColor(442, 35), QColor(140, 140, 140));
    EXPECT_EQ(bar.pixelColor(100, 35), QColor(140, 140, 140));
  }
}

TEST_F(DialogFixture, ProgressOutsideTheRangeStaysInsideTheBar) {
  dialog.progress.ReportProgress(150);
  EXPECT_EQ(dialog.progress.FillRight(443), 441);
  dialog.progress.ReportProgress(-20);
  EXPECT_EQ(dialog.progress.FillRight(443), 2);
  dialog.progress.SetRange(5, 5);
  EXPECT_EQ(dialog.progress.FillRight(443), 2);
}

// The upload thread reports while the window's thread may be waiting for the engine: the
// report must return without the window's thread running at all.
TEST_F(DialogFixture, ProgressAndViewChangesFromAWorkerNeverWaitForTheWindow) {
  Picture();
  gui_testing::PaintCounter barPaints;
  dialog.progress.installEventFilter(&barPaints);
  std::thread reports([] {
    for (std::int32_t position = 0; position <= 50; ++position)
      ReportProgress(position);
  });
  reports.join();
  EXPECT_EQ(dialog.progress.Position(), 50);
  EXPECT_TRUE(QTest::qWaitFor([&barPaints] { return barPaints.paints > 0; }, 10000))
      << "the reports posted a repaint";
  const QImage bar = gui_testing::Snapshot(dialog.progress);
  EXPECT_NE(bar.pixelColor(220, 17), QColor(Qt::white));
  EXPECT_EQ(bar.pixelColor(221, 17), QColor(Qt::white));

  gui_testing::PaintCounter windowPaints;
  dialog.installEventFilter(&windowPaints);
  std::thread status([this] {
    dialog.ChangeView([](UploadDialog::View& view) { view.statusText = "Status: Uploading"; });
  });
  status.join();
  EXPECT_TRUE(QTest::qWaitFor([&windowPaints] { return windowPaints.paints > 0; }, 10000));
  EXPECT_GT(CountTextPixels(Picture(), QRect(260, 450, 100, 16)), 20);
}

TEST_F(DialogFixture, ButtonsShowTheirPressedAndFocusedBitmaps) {
  const auto bitmap = [](int number) {
    return Rgb(QImage(QStringLiteral(":/bitmaps/%1.png").arg(number)));
  };
  const auto shown = [](QWidget* button) { return Rgb(gui_testing::Snapshot(*button)); };
  ASSERT_NE(bitmap(132), bitmap(133));
  EXPECT_EQ(shown(dialog.uploadButton), bitmap(132));
  QTest::mousePress(dialog.uploadButton, Qt::LeftButton);
  EXPECT_EQ(shown(dialog.uploadButton), bitmap(133));
  QTest::mouseRelease(dialog.uploadButton, Qt::LeftButton);
  EXPECT_EQ(shown(dialog.uploadButton), bitmap(132));

  EXPECT_EQ(shown(dialog.closeButton), bitmap(158));
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.closeButton->setFocus();
  EXPECT_EQ(shown(dialog.closeButton), bitmap(159));
  EXPECT_EQ(shown(dialog.exitButton), bitmap(134));
  EXPECT_EQ(shown(dialog.helpButton), bitmap(135));
}

TEST_F(DialogFixture, ContextMenuOpensTheAboutBox) {
  std::unique_ptr<QMenu> menu(dialog.CreateContextMenu());
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&About FlashDesk..."));
  QString caption;
  QStringList lines;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    caption = about->windowTitle();
    for (const QLabel* label : about->findChildren<QLabel*>())
      lines << label->text();
    about->findChild<QPushButton*>()->click();
  });
  menu->actions()[0]->trigger();
  EXPECT_EQ(caption, QStringLiteral("About FlashDesk"));
  EXPECT_TRUE(lines.contains(QStringLiteral("FlashDesk Version 1.0")));
  EXPECT_EQ(lines.size(), 2);
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace flashdesk

namespace flashdesk {
namespace {

using gui_testing::ScannedWindow;

struct ScannedDialogTest : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  ScannedDialogTest() {
    for (const char* name : {"TarnS2V1.00.syx", "TarnS1V1.00.syx", "TarnS1V1.10.syx",
                             "bootKelV1.05.syx", "TestKelV1.00.syx"}) {
      folder.Add(name);
    }
  }
  gui_testing::FirmwareFolder folder;
};

TEST_F(ScannedDialogTest, BootLoadersAreOfferedOnlyToASingleSpeaker) {
  const struct {
    std::vector<std::uint8_t> types;
    std::vector<std::int32_t> kinds;
  } cases[] = {
      {{3}, {kKindApplication, kKindBoot, kKindTest}},
      {{3, 4}, {kKindApplication, kKindTest}},
      {{}, {}},
  };
  for (const auto& example : cases) {
    ScannedWindow scanned(example.types);
    EXPECT_FALSE(scanned.dialog.CurrentView().searching);
    std::vector<std::int32_t> kinds;
    for (const FirmwareEntry& entry : scanned.Listed())
      kinds.push_back(entry.kind);
    EXPECT_EQ(kinds, example.kinds) << example.types.size() << " speakers";
    std::string path;
    EXPECT_EQ(scanned.dialog.firmwarePanel.GetSelectedFile(path), !example.kinds.empty());
  }
}

TEST_F(ScannedDialogTest, ChoosingAModelRebuildsTheFirmwareList) {
  ScannedWindow scanned({3, 4});
  ASSERT_EQ(scanned.Listed().size(), 2u);
  UploadDialog& dialog = scanned.dialog;

  QTest::mouseClick(&dialog.speakerPanel.Entry(1), Qt::LeftButton, {}, QPoint(7, 7));
  std::vector<FirmwareEntry> listed = scanned.Listed();
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].version, 100);
  EXPECT_EQ(listed[1].version, 110);
  EXPECT_EQ(listed[2].kind, kKindTest);
  EXPECT_TRUE(dialog.firmwarePanel.Entry(2).isVisible());

  // Clearing the model leaves nothing to choose.
  QTest::mouseClick(&dialog.speakerPanel.Entry(1), Qt::LeftButton, {}, QPoint(7, 7));
  EXPECT_TRUE(scanned.Listed().empty());
  EXPECT_FALSE(dialog.firmwarePanel.Entry(0).isVisible());
}

TEST_F(ScannedDialogTest, ExitEndsTheWindowOnlyWhenTheExitChecksAgree) {
  ScannedWindow complete({4});
  QTest::mouseClick(complete.dialog.exitButton, Qt::LeftButton);
  EXPECT_FALSE(complete.dialog.isVisible());
  EXPECT_TRUE(complete.setup.prompts.messages.empty());

  sim::SpeakerConfig noBootLoader = gui_testing::SimulatedSetup::CompleteSpeaker(4, 0x777);
  noBootLoader.software.erase(noBootLoader.software.begin());
  ScannedWindow refusing({4}, {noBootLoader});
  QTest::mouseClick(refusing.dialog.closeButton, Qt::LeftButton);
  EXPECT_TRUE(refusing.dialog.isVisible());
  EXPECT_EQ(refusing.setup.prompts.messages.size(), 1u);
  EXPECT_EQ(refusing.dialog.CurrentView().statusText, "Status: ");
}

}  // namespace
}  // namespace flashdesk
