#include "panels/FirmwarePanel.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

using gui_testing::CountPixels;
using gui_testing::CountTextPixels;

const QRect kPagingText(20, 72, 110, 20);
const QColor kOutline(150, 150, 150);
const QColor kDark(76, 76, 76);

// The panel on a white surface, as the dialog places it.
struct FirmwarePanelFixture : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  FirmwarePanelFixture() { host.Hold(panel); }

  void Build(int files) {
    for (int i = 0; i < files; ++i)
      folder.Add("TarnS1V1.0" + std::to_string(i) + ".syx");
    panel.BuildCatalog(4);
    QApplication::processEvents();
  }
  std::vector<int> VisibleEntries() {
    std::vector<int> visible;
    for (int i = 0; i < FirmwareCatalog::kMaxEntries; ++i) {
      if (panel.Entry(i).isVisible())
        visible.push_back(i);
    }
    return visible;
  }
  QImage Picture() { return gui_testing::Snapshot(host); }

  gui_testing::FirmwareFolder folder;
  gui_testing::SimulatedSetup setup;
  gui_testing::PanelSurface host;
  FirmwarePanel panel{setup.prompts, &host};
};

TEST(FirmwareEntryText, NamesTheKindAndTheVersionInHundredths) {
  const struct {
    std::int32_t kind;
    std::int32_t version;
    const char* text;
  } cases[] = {
      {3, 123, "Application | Ver 1.23"},   {1, 5, "BootLoader | Ver 0.05"},
      {2, 100, "Test Software | Ver 1.00"}, {3, -16, "Application | Ver -0.16"},
      {3, 7522, "Application | Ver 75.22"}, {0, 100, ""},
  };
  for (const auto& example : cases)
    EXPECT_EQ(FirmwareButton::LineFor(example.kind, example.version).toStdString(), example.text);
}

TEST_F(FirmwarePanelFixture, SevenEntriesArePagedThreeAtATimeByThePagingTextOnly) {
  Build(7);
  EXPECT_GT(CountTextPixels(Picture(), kPagingText), 40);
  // Just outside the paging text's area nothing turns.
  for (const QPoint outside : {QPoint(20, 80), QPoint(130, 80), QPoint(60, 72), QPoint(60, 92)})
    QTest::mouseClick(&panel, Qt::LeftButton, {}, outside);
  const std::vector<std::vector<int>> pages = {{0, 1, 2}, {3, 4, 5}, {6}, {0, 1, 2}};
  for (std::size_t page = 0; page < pages.size(); ++page) {
    EXPECT_EQ(VisibleEntries(), pages[page]) << "page " << page;
    for (int i : pages[page])
      EXPECT_EQ(panel.Entry(i).y(), PagedPanel::EntryTop(i));
    QTest::mouseClick(&panel, Qt::LeftButton, {}, page % 2 ? QPoint(60, 80) : QPoint(21, 73));
    QApplication::processEvents();
  }
}

TEST_F(FirmwarePanelFixture, ThreeEntriesHaveNoPagingAndNoneSayFirmwareNotAvailable) {
  Build(0);
  EXPECT_TRUE(VisibleEntries().empty());
  QImage picture = Picture();
  EXPECT_GT(CountTextPixels(picture, QRect(20, 0, 200, 18)), 60);
  EXPECT_EQ(CountTextPixels(picture, QRect(0, 20, 300, 80)), 0);

  Build(3);
  EXPECT_EQ(VisibleEntries(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(CountTextPixels(Picture(), kPagingText), 0);
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(60, 80));
  EXPECT_EQ(panel.FirstVisible(), 0);
  QTest::mouseMove(&panel, QPoint(60, 80));
  EXPECT_FALSE(panel.MoreHover());
}

TEST_F(FirmwarePanelFixture, ClickingACheckBoxSelectsOnlyThatEntryAndTellsTheDialog) {
  Build(3);
  QSignalSpy commands(&panel, &PagedPanel::Command);
  std::string path;

  QTest::mouseClick(&panel.Entry(2), Qt::LeftButton, {}, QPoint(1, 1));
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), FirmwarePanel::kNotification);
  EXPECT_FALSE(panel.Entry(0).IsSelected());
  ASSERT_TRUE(panel.GetSelectedFile(path));
  EXPECT_EQ(path.substr(4), "TarnS1V1.02.syx");

  // Clicking the selected entry leaves none selected, and still tells the dialog.
  QTest::mouseClick(&panel.Entry(2), Qt::LeftButton, {}, QPoint(14, 14));
  EXPECT_EQ(commands.count(), 2);
  EXPECT_FALSE(panel.GetSelectedFile(path));

  // Only the check box reacts.
  for (const QPoint miss : {QPoint(15, 7), QPoint(0, 7), QPoint(7, 15), QPoint(60, 8)})
    QTest::mouseClick(&panel.Entry(1), Qt::LeftButton, {}, miss);
  EXPECT_EQ(commands.count(), 2);
  EXPECT_FALSE(panel.Entry(1).IsSelected());
}

TEST_F(FirmwarePanelFixture, BoxesAreDrawnInTheirColoursAndHoverDarkensThem) {
  Build(5);
  QImage picture = Picture();
  const QColor ticked(246, 157, 105);
  EXPECT_GT(CountPixels(picture, QRect(2, 2, 12, 12), ticked), 40);
  EXPECT_GT(CountPixels(picture, QRect(4, 3, 9, 10), kDark), 6) << "the tick";
  EXPECT_EQ(CountPixels(picture, QRect(2, 26, 12, 12), ticked), 0);
  EXPECT_GT(CountPixels(picture, QRect(2, 26, 12, 12), QColor(200, 200, 200)), 80);
  EXPECT_EQ(picture.pixelColor(7, 24 + 1), kOutline);
  EXPECT_EQ(picture.pixelColor(7, 0), QColor(Qt::white));
  EXPECT_EQ(picture.pixelColor(16, 7), QColor(Qt::white));

  FirmwareButton& entry = panel.Entry(1);
  QTest::mouseMove(&entry, QPoint(7, 7));
  EXPECT_TRUE(entry.Hover());
  EXPECT_EQ(Picture().pixelColor(7, 24 + 1), kDark);
  QTest::mouseMove(&entry, QPoint(40, 7));
  EXPECT_FALSE(entry.Hover());
  EXPECT_EQ(Picture().pixelColor(7, 24 + 1), kOutline);

  QTest::mouseMove(&panel, QPoint(60, 80));
  EXPECT_TRUE(panel.MoreHover());
  EXPECT_GT(CountPixels(Picture(), kPagingText, QColor(40, 40, 40), 6), 20);
  QTest::mouseMove(&panel, QPoint(160, 80));
  EXPECT_FALSE(panel.MoreHover());
  EXPECT_EQ(CountPixels(Picture(), kPagingText, QColor(40, 40, 40), 6), 0);
}

}  // namespace
}  // namespace flashdesk
