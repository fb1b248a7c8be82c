#include "app/UploadDialog.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <thread>

#include "tests/app/WorkerTestRig.h"

namespace flashdesk {
namespace {

using gui_testing::CountTextPixels;

const QColor kFrame(200, 200, 200);
const QColor kFill(250, 250, 250);
const QColor kOutline(Qt::black);
const QColor kWhite(Qt::white);
const QRect kStatusText(260, 450, 300, 16);

struct DialogFixture : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  DialogFixture() { dialog.show(); }

  QImage Picture() {
    QApplication::processEvents();
    return gui_testing::Snapshot(dialog);
  }

  // Text pixels in rows top to bottom (inclusive) of the left box.
  int BoxTextPixels(int top, int bottom) {
    return CountTextPixels(Picture(), QRect(QPoint(50, top), QPoint(470, bottom)));
  }

  gui_testing::FirmwareFolder folder;
  gui_testing::SimulatedSetup setup;
  UploadDialog dialog{setup.Services()};
  worker_testing::WindowParts parts{dialog};
};

TEST_F(DialogFixture, ChildWindowsAndTheHelpBoxStandAtTheirPixels) {
  EXPECT_EQ(dialog.size(), QSize(800, 529));
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  const struct {
    QWidget* child;
    QRect rect;
  } children[] = {
      {parts.upload, QRect(653, 410, 124, 36)},     {parts.exit, QRect(726, 490, 56, 24)},
      {parts.close, QRect(780, 5, 15, 15)},         {parts.help, QRect(700, 9, 60, 23)},
      {&parts.progress, QRect(196, 410, 443, 36)},  {&parts.speakers, QRect(550, 120, 300, 100)},
      {&parts.firmware, QRect(550, 268, 300, 100)},
  };
  for (const auto& expected : children) {
    ASSERT_NE(expected.child, nullptr);
    EXPECT_EQ(expected.child->geometry(), expected.rect);
    EXPECT_TRUE(expected.child->isVisible());
  }
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((dialog.geometry().center() - screenCentre).manhattanLength(), 2);

  // Frame, black outline and light fill of the help box, corner by corner.
  const QImage picture = Picture();
  const struct {
    QPoint at;
    QColor colour;
  } pixels[] = {{{35, 96}, kFrame},   {{474, 96}, kFrame},  {{35, 385}, kFrame},
                {{474, 385}, kFrame}, {{36, 97}, kOutline}, {{473, 384}, kOutline},
                {{37, 98}, kFill},    {{472, 383}, kFill}};
  for (const auto& pixel : pixels)
    EXPECT_EQ(picture.pixelColor(pixel.at), pixel.colour) << pixel.at.x() << "," << pixel.at.y();
  EXPECT_NE(picture.pixelColor(34, 95), kFrame);
  EXPECT_NE(picture.pixelColor(475, 386), kFrame);

  // Captions, the scan notice and a bare status line.
  EXPECT_GT(CountTextPixels(picture, QRect(550, 96, 200, 20)), 100) << "Select Speakers";
  EXPECT_GT(CountTextPixels(picture, QRect(550, 240, 200, 20)), 100) << "Select Software";
  EXPECT_GT(CountTextPixels(picture, QRect(550, 120, 240, 40)), 100) << "scan notice";
  EXPECT_GT(CountTextPixels(picture, QRect(196, 450, 60, 16)), 20) << "Status:";
  EXPECT_EQ(CountTextPixels(picture, kStatusText), 0);
}

TEST_F(DialogFixture, ReportBoxGrowsTwentyPixelsPerLine) {
  for (const int lines : {0, 1, 3, 13}) {
    std::string report;
    for (int i = 0; i < lines; ++i)
      report += "Line " + std::to_string(i) + "\n";
    dialog.ChangeView([&report](UploadDialog::View& view) {
      view.reportText = report + "not drawn: no line feed after it";
      view.box = BoxContent::kReport;
    });
    const QImage picture = Picture();
    const int lastRow = 135 + 20 * lines;
    EXPECT_EQ(picture.pixelColor(35, lastRow), kFrame) << lines;
    EXPECT_EQ(picture.pixelColor(200, lastRow), kFrame) << lines;
    EXPECT_EQ(picture.pixelColor(36, lastRow - 1), kOutline) << lines;
    EXPECT_NE(picture.pixelColor(200, lastRow + 1), kFrame) << lines;
    for (int j = 1; j <= lines; ++j)
      EXPECT_GT(BoxTextPixels(96 + 20 * j, 96 + 20 * j + 14), 10) << lines << " line " << j;
    EXPECT_EQ(BoxTextPixels(98 + 20 * lines + 20, lastRow - 2), 0) << lines;
  }
}

TEST_F(DialogFixture, HelpPagesCycleWithTheHelpButton) {
  // Page 0 has lines at 236 and 276, page 1 at 256; page 1 has none at 296, page 0 does.
  const auto page0 = [this] { return BoxTextPixels(256, 270) == 0 && BoxTextPixels(296, 310); };
  const auto page1 = [this] { return BoxTextPixels(256, 270) > 0 && BoxTextPixels(296, 310) == 0; };
  EXPECT_GT(BoxTextPixels(116, 133), 100) << "heading";
  EXPECT_TRUE(page0());
  EXPECT_GT(BoxTextPixels(356, 370), 30) << "press HELP for next page";

  QTest::mouseClick(parts.help, Qt::LeftButton);
  EXPECT_TRUE(page1());
  QTest::mouseClick(parts.help, Qt::LeftButton);
  EXPECT_EQ(dialog.CurrentView().box, BoxContent::kNothing);
  EXPECT_NE(Picture().pixelColor(35, 96), kFrame);
  EXPECT_EQ(BoxTextPixels(100, 380), 0);
  QTest::mouseClick(parts.help, Qt::LeftButton);
  EXPECT_TRUE(page0());
}

TEST_F(DialogFixture, ProgressFillsWithThePatternFromTheLeftAndStaysInsideTheBar) {
  const QImage pattern(QStringLiteral(":/bitmaps/147.png"));
  ASSERT_EQ(pattern.size(), QSize(451, 36));
  const struct {
    std::int32_t position;
    int fillRight;
  } cases[] = {{0, 2}, {50, 221}, {100, 441}, {1, 6}, {150, 441}, {-20, 2}};
  for (const auto& example : cases) {
    parts.progress.ReportProgress(example.position);
    EXPECT_EQ(parts.progress.FillRight(443), example.fillRight);
    const QImage bar = gui_testing::Snapshot(parts.progress);
    for (int x = 2; x < 441; ++x) {
      const QColor expected = x < example.fillRight ? pattern.pixelColor(x, 17) : kWhite;
      ASSERT_EQ(bar.pixelColor(x, 17), expected) << example.position << " at x " << x;
    }
    EXPECT_EQ(bar.pixelColor(0, 34), QColor(180, 180, 180));
    EXPECT_EQ(bar.pixelColor(442, 35), QColor(140, 140, 140));
  }
  parts.progress.SetRange(5, 5);  // an empty range leaves the bar empty
  EXPECT_EQ(parts.progress.FillRight(443), 2);
}

// The upload thread reports while the window's thread may wait for the engine: reports must
// return without the window's thread running at all.
TEST_F(DialogFixture, ProgressAndViewChangesFromAWorkerNeverWaitForTheWindow) {
  Picture();
  gui_testing::PaintCounter barPaints;
  gui_testing::PaintCounter windowPaints;
  parts.progress.installEventFilter(&barPaints);
  std::thread([this] {
    for (std::int32_t position = 0; position <= 50; ++position)
      parts.progress.ReportProgress(position);
  }).join();
  EXPECT_EQ(parts.progress.Position(), 50);
  EXPECT_TRUE(QTest::qWaitFor([&barPaints] { return barPaints.paints > 0; }, 10000));

  dialog.installEventFilter(&windowPaints);
  std::thread([this] {
    dialog.ChangeView([](UploadDialog::View& view) { view.statusText = "Status: Uploading"; });
  }).join();
  EXPECT_TRUE(QTest::qWaitFor([&windowPaints] { return windowPaints.paints > 0; }, 10000));
  EXPECT_GT(CountTextPixels(Picture(), kStatusText), 20);
}

TEST_F(DialogFixture, ButtonsShowTheirPressedAndFocusedBitmaps) {
  const auto rgb = [](const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); };
  const auto shows = [&rgb](QWidget* button, int bitmap) {
    return rgb(gui_testing::Snapshot(*button)) ==
           rgb(QImage(QStringLiteral(":/bitmaps/%1.png").arg(bitmap)));
  };
  EXPECT_TRUE(shows(parts.upload, 132));
  QTest::mousePress(parts.upload, Qt::LeftButton);
  EXPECT_TRUE(shows(parts.upload, 133));
  QTest::mouseRelease(parts.upload, Qt::LeftButton);
  EXPECT_TRUE(shows(parts.upload, 132));
  EXPECT_TRUE(shows(parts.close, 158));
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  parts.close->setFocus();
  EXPECT_TRUE(shows(parts.close, 159));
}

}  // namespace
}  // namespace flashdesk
