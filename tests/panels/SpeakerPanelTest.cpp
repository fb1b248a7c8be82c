#include "panels/SpeakerPanel.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

#include <thread>

#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

using gui_testing::CountTextPixels;
using Names = std::vector<std::string>;

const Names kFirstPage = {"TARN-S2", "TARN-S1", "TARN-LOW-1"};

// The panel on a white surface, as the dialog places it.
struct SpeakerPanelFixture : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  SpeakerPanelFixture() { host.Hold(panel); }

  void Fill(const std::vector<std::uint8_t>& types) {
    std::uint32_t serial = 0x100000;
    for (const std::uint8_t type : types)
      setup.AddSpeaker(type, ++serial);
    network.ScanNetwork();
    // On a worker, as the scan does: the list is shown through the window's thread.
    std::thread([this] { panel.Fill(network); }).join();
    QApplication::processEvents();
  }
  Names VisibleNames() {
    Names names;
    for (int i = 0; i < SpeakerPanel::kEntrySlots; ++i) {
      if (panel.Entry(i).isVisible())
        names.push_back(panel.Entry(i).Name());
    }
    return names;
  }
  QImage Picture() { return gui_testing::Snapshot(host); }

  gui_testing::SimulatedSetup setup;
  gui_testing::PanelSurface host;
  SpeakerNetwork network{setup.Services()};
  SpeakerPanel panel{&host};
};

TEST_F(SpeakerPanelFixture, PagesThroughAllEightModelsWithTheFirstSelected) {
  EXPECT_EQ(CountTextPixels(Picture(), QRect(0, 0, 300, 100)), 0) << "nothing before the scan";
  Fill({4, 4, 13});
  EXPECT_TRUE(panel.Filled());
  EXPECT_EQ(panel.EntryCount(), 8);
  EXPECT_EQ(panel.TotalSpeakers(), 3);
  EXPECT_EQ(panel.SelectedType(), 3) << "TARN-S2, although no such speaker answered";
  EXPECT_EQ(panel.Entry(1).Count(), 2);
  EXPECT_EQ(panel.Entry(7).Count(), 1);

  const std::vector<Names> pages = {
      kFirstPage, {"TARN-LOW-2", "TARN-S3", "TARN-S4"}, {"TARN-LOW-3", "TARN-LOW-4"}, kFirstPage};
  for (std::size_t page = 0; page < pages.size(); ++page) {
    EXPECT_EQ(VisibleNames(), pages[page]) << "page " << page;
    EXPECT_GT(CountTextPixels(Picture(), QRect(20, 72, 110, 20)), 40) << "paging text";
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(50, 82));
    QApplication::processEvents();
  }
}

TEST_F(SpeakerPanelFixture, NoCountedSpeakerReadsNoSpeakersFound) {
  Fill({7});  // not one of the eight models
  EXPECT_EQ(panel.TotalSpeakers(), 0);
  EXPECT_EQ(panel.EntryCount(), 0);
  EXPECT_TRUE(VisibleNames().empty());
  const QImage picture = Picture();
  EXPECT_GT(CountTextPixels(picture, QRect(20, 0, 200, 18)), 60);
  EXPECT_EQ(CountTextPixels(picture, QRect(0, 20, 300, 80)), 0);
}

TEST_F(SpeakerPanelFixture, AtMostOneModelIsSelectedEveryClickIsReportedAndHoverFollowsTheBox) {
  Fill({4});
  QSignalSpy commands(&panel, &PagedPanel::Command);
  QTest::mouseClick(&panel.Entry(1), Qt::LeftButton, {}, QPoint(14, 14));
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), SpeakerPanel::kNotification);
  EXPECT_EQ(panel.SelectedType(), 4);
  EXPECT_FALSE(panel.Entry(0).IsSelected());

  QTest::mouseClick(&panel.Entry(1), Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(commands.count(), 2);
  EXPECT_EQ(panel.SelectedType(), 0);

  QTest::mouseClick(&panel.Entry(2), Qt::LeftButton, {}, QPoint(15, 7));
  QTest::mouseClick(&panel.Entry(2), Qt::LeftButton, {}, QPoint(40, 7));
  EXPECT_EQ(commands.count(), 2);
  EXPECT_EQ(panel.SelectedType(), 0);

  SpeakerButton& entry = panel.Entry(0);
  QTest::mouseMove(&entry, QPoint(3, 12));
  EXPECT_TRUE(entry.Hover());
  QTest::mouseMove(&entry, QPoint(15, 12));
  EXPECT_FALSE(entry.Hover());
  QTest::mouseMove(&panel, QPoint(25, 75));
  EXPECT_TRUE(panel.MoreHover());
  QTest::mouseMove(&panel, QPoint(25, 95));
  EXPECT_FALSE(panel.MoreHover());
}

}  // namespace
}  // namespace flashdesk
