#include "panels/SpeakerPanel.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

#include <thread>

#include "platform/Trace.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

using gui_testing::CountTextPixels;

struct SpeakerPanelFixture : ::testing::Test {
  static void SetUpTestSuite() { gui_testing::EnsureApplication(); }

  SpeakerPanelFixture() { host.Hold(panel); }
  ~SpeakerPanelFixture() override { platform::SetTraceSink({}); }

  void Fill() {
    panel.Fill();
    QApplication::processEvents();
  }

  std::vector<std::string> VisibleNames() {
    std::vector<std::string> names;
    for (int i = 0; i < SpeakerPanel::kEntrySlots; ++i) {
      if (panel.Entry(i).isVisible())
        names.push_back(panel.Entry(i).Name());
    }
    return names;
  }

  QImage Picture() { return gui_testing::Snapshot(host); }

  gui_testing::SimulatedSetup setup;
  gui_testing::PanelSurface host;
  SpeakerPanel panel{setup.Services(), &host};
};

TEST(SpeakerButtonName, FollowsOnlyTheEightModels) {
  gui_testing::EnsureApplication();
  SpeakerButton entry(1500, nullptr);
  entry.SetType(7);
  EXPECT_EQ(entry.Name(), "");
  EXPECT_EQ(entry.Type(), 7);
  entry.SetType(4);
  EXPECT_EQ(entry.Name(), "TARN-S1");
  entry.SetType(0);
  EXPECT_EQ(entry.Name(), "TARN-S1");
  EXPECT_EQ(entry.Type(), 0);
  const std::pair<std::int32_t, const char*> models[] = {
      {3, "TARN-S2"},  {5, "TARN-LOW-1"},  {6, "TARN-LOW-2"},  {8, "TARN-S3"},
      {10, "TARN-S4"}, {12, "TARN-LOW-3"}, {13, "TARN-LOW-4"},
  };
  for (const auto& [type, name] : models) {
    entry.SetType(type);
    EXPECT_EQ(entry.Name(), name);
  }
}

TEST_F(SpeakerPanelFixture, ListsAllEightModelsWithTheFirstSelected) {
  setup.AddSpeaker(4, 0x100001);
  setup.AddSpeaker(4, 0x100002);
  setup.AddSpeaker(13, 0x100003);
  std::vector<std::string> trace;
  platform::SetTraceSink([&trace](const std::string& line) { trace.push_back(line); });
  Fill();

  EXPECT_TRUE(panel.Filled());
  EXPECT_EQ(panel.EntryCount(), 8);
  EXPECT_EQ(panel.TotalSpeakers(), 3);
  EXPECT_EQ(panel.SelectedType(), 3);  // TARN-S2, although no such speaker answered
  EXPECT_EQ(panel.Entry(1).Count(), 2);
  EXPECT_EQ(panel.Entry(7).Count(), 1);
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"TARN-S2", "TARN-S1", "TARN-LOW-1"}));
  EXPECT_NE(std::find(trace.begin(), trace.end(), "Speakertype[ 4] : count =  2\n"), trace.end());
  EXPECT_NE(std::find(trace.begin(), trace.end(), "Speakertype[13] : count =  1\n"), trace.end());
}

TEST_F(SpeakerPanelFixture, PagesThroughTheEightModelsAndBack) {
  setup.AddSpeaker(5, 0x200001);
  Fill();
  const std::vector<std::vector<std::string>> pages = {
      {"TARN-S2", "TARN-S1", "TARN-LOW-1"},
      {"TARN-LOW-2", "TARN-S3", "TARN-S4"},
      {"TARN-LOW-3", "TARN-LOW-4"},
      {"TARN-S2", "TARN-S1", "TARN-LOW-1"},
  };
  for (std::size_t page = 0; page < pages.size(); ++page) {
    EXPECT_EQ(VisibleNames(), pages[page]) << "page " << page;
    EXPECT_GT(CountTextPixels(Picture(), QRect(20, 72, 110, 20)), 40) << "paging text";
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(50, 82));
    QApplication::processEvents();
  }
}

TEST_F(SpeakerPanelFixture, NoCountedSpeakerReadsNoSpeakersFound) {
  EXPECT_EQ(CountTextPixels(Picture(), QRect(0, 0, 300, 100)), 0) << "nothing before the scan";
  setup.AddSpeaker(7, 0x300001);  // not one of the eight models
  Fill();
  EXPECT_EQ(panel.TotalSpeakers(), 0);
  EXPECT_EQ(panel.EntryCount(), 0);
  EXPECT_TRUE(VisibleNames().empty());
  const QImage picture = Picture();
  EXPECT_GT(CountTextPixels(picture, QRect(20, 0, 200, 18)), 60);
  EXPECT_EQ(CountTextPixels(picture, QRect(0, 20, 300, 80)), 0);
  QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(50, 82));
  EXPECT_EQ(panel.FirstVisible(), 0);
}

TEST_F(SpeakerPanelFixture, AtMostOneModelIsSelectedAndEveryClickIsReported) {
  setup.AddSpeaker(4, 0x400001);
  Fill();
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
}

TEST_F(SpeakerPanelFixture, HoverFollowsTheCheckBoxOnly) {
  setup.AddSpeaker(4, 0x500001);
  Fill();
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

// The scan runs on a worker: Fill touches no widget there and shows the list through the
// window's thread.
TEST_F(SpeakerPanelFixture, FillOnAWorkerThreadShowsTheListOnTheWindowsThread) {
  setup.AddSpeaker(6, 0x600001);
  setup.AddSpeaker(12, 0x600002);
  std::thread scan([this] { panel.Fill(); });
  scan.join();
  EXPECT_EQ(panel.TotalSpeakers(), 2);
  EXPECT_EQ(panel.SelectedType(), 3);
  QApplication::processEvents();
  EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"TARN-S2", "TARN-S1", "TARN-LOW-1"}));
}

}  // namespace
}  // namespace flashdesk
