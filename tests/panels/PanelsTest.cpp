// The two lists of the window, each on a white surface as the dialog places it.
#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

#include <thread>

#include "panels/FirmwarePanel.h"
#include "panels/SpeakerPanel.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

using gui_testing::CountPixels;
using gui_testing::CountTextPixels;

const QRect kPagingText(20, 72, 110, 20);
const QRect kEmptyListText(20, 0, 200, 18);
const QRect kBelowTheCaption(0, 20, 300, 80);
const QColor kOutline(150, 150, 150);
const QColor kDark(76, 76, 76);

struct PanelsTest : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  PanelsTest() {
    firmwareHost.Hold(firmware);
    speakerHost.Hold(speakers);
    // Apart, so the pointer finds each.
    speakerHost.move(firmwareHost.pos() + QPoint(0, 200));
  }

  void Build(int files) {
    for (int i = 0; i < files; ++i)
      folder.Add("TarnS1V1.0" + std::to_string(i) + ".syx");
    firmware.BuildCatalog(4);
    QApplication::processEvents();
  }
  void Fill(const std::vector<std::uint8_t>& types) {
    std::uint32_t serial = 0x100000;
    for (const std::uint8_t type : types)
      setup.AddSpeaker(type, ++serial);
    network.ScanNetwork();
    // On a worker, as the scan does: the list is shown through the window's thread.
    std::thread([this] { speakers.Fill(network); }).join();
    QApplication::processEvents();
  }
  std::vector<int> VisibleEntries() {
    std::vector<int> visible;
    for (int i = 0; i < FirmwareCatalog::kMaxEntries; ++i) {
      if (firmware.Entry(i).isVisible())
        visible.push_back(i);
    }
    return visible;
  }

  gui_testing::FirmwareFolder folder;
  gui_testing::SimulatedSetup setup;
  gui_testing::PanelSurface firmwareHost;
  gui_testing::PanelSurface speakerHost;
  FirmwarePanel firmware{setup.prompts, &firmwareHost};
  SpeakerNetwork network{setup.Services()};
  SpeakerPanel speakers{&speakerHost};
};

TEST(FirmwareEntryText, NamesTheKindAndTheVersionInHundredths) {
  const struct {
    std::int32_t kind;
    std::int32_t version;
    const char* text;
  } cases[] = {
      {3, 123, "Application | Ver 1.23"},
      {1, 5, "BootLoader | Ver 0.05"},
      {2, 100, "Test Software | Ver 1.00"},
      {3, -16, "Application | Ver -0.16"},
      {0, 100, ""},
  };
  for (const auto& example : cases)
    EXPECT_EQ(FirmwareButton::LineFor(example.kind, example.version).toStdString(), example.text);
}

TEST_F(PanelsTest, SevenEntriesArePagedThreeAtATimeByThePagingTextOnly) {
  Build(7);
  EXPECT_GT(CountTextPixels(gui_testing::Snapshot(firmwareHost), kPagingText), 40);
  // Just outside the paging text's area nothing turns.
  for (const QPoint outside : {QPoint(20, 80), QPoint(130, 80), QPoint(60, 72), QPoint(60, 92)})
    QTest::mouseClick(&firmware, Qt::LeftButton, {}, outside);
  const std::vector<std::vector<int>> pages = {{0, 1, 2}, {3, 4, 5}, {6}, {0, 1, 2}};
  for (std::size_t page = 0; page < pages.size(); ++page) {
    EXPECT_EQ(VisibleEntries(), pages[page]) << "page " << page;
    for (int i : pages[page])
      EXPECT_EQ(firmware.Entry(i).y(), PagedPanel::EntryTop(i));
    QTest::mouseClick(&firmware, Qt::LeftButton, {}, page % 2 ? QPoint(60, 80) : QPoint(21, 73));
    QApplication::processEvents();
  }
}

TEST_F(PanelsTest, EmptyListsSayWhyAndShortOnesHaveNoPaging) {
  EXPECT_EQ(CountTextPixels(gui_testing::Snapshot(speakerHost), QRect(0, 0, 300, 100)), 0)
      << "nothing before the scan";
  Fill({7});  // not one of the eight models
  Build(0);
  EXPECT_EQ(speakers.TotalSpeakers(), 0);
  EXPECT_EQ(speakers.EntryCount(), 0);
  EXPECT_TRUE(VisibleEntries().empty());
  for (QWidget* host : std::initializer_list<QWidget*>{&firmwareHost, &speakerHost}) {
    const QImage picture = gui_testing::Snapshot(*host);
    EXPECT_GT(CountTextPixels(picture, kEmptyListText), 60);
    EXPECT_EQ(CountTextPixels(picture, kBelowTheCaption), 0);
  }

  Build(3);
  EXPECT_EQ(VisibleEntries(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(CountTextPixels(gui_testing::Snapshot(firmwareHost), kPagingText), 0);
  QTest::mouseClick(&firmware, Qt::LeftButton, {}, QPoint(60, 80));
  EXPECT_EQ(firmware.FirstVisible(), 0);
  QTest::mouseMove(&firmware, QPoint(60, 80));
  EXPECT_FALSE(firmware.MoreHover());
}

TEST_F(PanelsTest, ClickingAFirmwareCheckBoxSelectsOnlyThatEntryAndTellsTheDialog) {
  Build(3);
  QSignalSpy commands(&firmware, &PagedPanel::Command);
  std::string path;

  QTest::mouseClick(&firmware.Entry(2), Qt::LeftButton, {}, QPoint(1, 1));
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), FirmwarePanel::kNotification);
  EXPECT_FALSE(firmware.Entry(0).IsSelected());
  ASSERT_TRUE(firmware.GetSelectedFile(path));
  EXPECT_EQ(path.substr(4), "TarnS1V1.02.syx");

  // Clicking the selected entry leaves none selected, and still tells the dialog.
  QTest::mouseClick(&firmware.Entry(2), Qt::LeftButton, {}, QPoint(14, 14));
  EXPECT_EQ(commands.count(), 2);
  EXPECT_FALSE(firmware.GetSelectedFile(path));

  // Only the check box reacts.
  for (const QPoint miss : {QPoint(15, 7), QPoint(0, 7), QPoint(7, 15), QPoint(60, 8)})
    QTest::mouseClick(&firmware.Entry(1), Qt::LeftButton, {}, miss);
  EXPECT_EQ(commands.count(), 2);
  EXPECT_FALSE(firmware.Entry(1).IsSelected());
}

TEST_F(PanelsTest, AllEightModelsAreListedWithTheFirstSelectedAndAtMostOneStaysSelected) {
  Fill({4, 4, 13});
  EXPECT_EQ(speakers.EntryCount(), 8);
  EXPECT_EQ(speakers.TotalSpeakers(), 3);
  EXPECT_EQ(speakers.SelectedType(), 3) << "TARN-S2, although no such speaker answered";
  EXPECT_EQ(speakers.Entry(1).Count(), 2);
  EXPECT_EQ(speakers.Entry(7).Count(), 1);

  QSignalSpy commands(&speakers, &PagedPanel::Command);
  QTest::mouseClick(&speakers.Entry(1), Qt::LeftButton, {}, QPoint(14, 14));
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), SpeakerPanel::kNotification);
  EXPECT_EQ(speakers.SelectedType(), 4);
  EXPECT_FALSE(speakers.Entry(0).IsSelected());
  QTest::mouseClick(&speakers.Entry(1), Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(commands.count(), 2);
  EXPECT_EQ(speakers.SelectedType(), 0);
  // Only the check box reacts.
  QTest::mouseClick(&speakers.Entry(2), Qt::LeftButton, {}, QPoint(15, 7));
  QTest::mouseClick(&speakers.Entry(2), Qt::LeftButton, {}, QPoint(40, 7));
  EXPECT_EQ(commands.count(), 2);
  EXPECT_EQ(speakers.SelectedType(), 0);
}

TEST_F(PanelsTest, BoxesAreDrawnInTheirColoursAndHoverFollowsTheBoxAndThePagingText) {
  Build(5);
  Fill({4});
  QImage picture = gui_testing::Snapshot(firmwareHost);
  const QColor ticked(246, 157, 105);
  EXPECT_GT(CountPixels(picture, QRect(2, 2, 12, 12), ticked), 40);
  EXPECT_GT(CountPixels(picture, QRect(4, 3, 9, 10), kDark), 6) << "the tick";
  EXPECT_EQ(CountPixels(picture, QRect(2, 26, 12, 12), ticked), 0);
  EXPECT_GT(CountPixels(picture, QRect(2, 26, 12, 12), QColor(200, 200, 200)), 80);
  EXPECT_EQ(picture.pixelColor(7, 24 + 1), kOutline);
  EXPECT_EQ(picture.pixelColor(7, 0), QColor(Qt::white));
  EXPECT_EQ(picture.pixelColor(16, 7), QColor(Qt::white));

  FirmwareButton& entry = firmware.Entry(1);
  QTest::mouseMove(&entry, QPoint(7, 7));
  EXPECT_TRUE(entry.Hover());
  EXPECT_EQ(gui_testing::Snapshot(firmwareHost).pixelColor(7, 24 + 1), kDark);
  QTest::mouseMove(&entry, QPoint(40, 7));
  EXPECT_FALSE(entry.Hover());
  EXPECT_EQ(gui_testing::Snapshot(firmwareHost).pixelColor(7, 24 + 1), kOutline);
  SpeakerButton& model = speakers.Entry(0);
  QTest::mouseMove(&model, QPoint(3, 12));
  EXPECT_TRUE(model.Hover());
  QTest::mouseMove(&model, QPoint(15, 12));
  EXPECT_FALSE(model.Hover());

  const auto darkPagingPixels = [this] {
    return CountPixels(gui_testing::Snapshot(firmwareHost), kPagingText, QColor(40, 40, 40), 6);
  };
  QTest::mouseMove(&firmware, QPoint(60, 80));
  EXPECT_TRUE(firmware.MoreHover());
  EXPECT_GT(darkPagingPixels(), 20);
  QTest::mouseMove(&firmware, QPoint(160, 80));
  EXPECT_FALSE(firmware.MoreHover());
  EXPECT_EQ(darkPagingPixels(), 0);
}

}  // namespace
}  // namespace flashdesk
