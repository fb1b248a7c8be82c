// The speaker and firmware lists of the window model: paging, ticks and what a click hits.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/window/WindowRig.h"

namespace flashdesk {
namespace {

using window::BitmapId;
using window::Colour;
using window::FontName;
using window::PagedPanel;
using window::Point;
using window::Rect;
using window::UploadDialog;
using window_testing::WindowRig;

const Rect kFirmware = window::FirmwarePanel::kBounds;
const Rect kSpeakers = window::SpeakerPanel::kBounds;

sim::SpeakerConfig Complete(std::uint32_t serial, std::uint8_t type = 3) {
  return testing_support::SimulatedSetup::CompleteSpeaker(type, serial);
}

Point In(const Rect& panel, int x, int y) {
  return {panel.left + x, panel.top + y};
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Two TARN-S2 speakers and seven files for them: six applications and the test software.
std::unique_ptr<WindowRig> SevenFiles() {
  auto rig = std::make_unique<WindowRig>(std::vector<sim::SpeakerConfig>{Complete(1), Complete(2)});
  for (int i = 0; i < 4; ++i)
    rig->folder.Add("TarnS2V2.0" + std::to_string(i) + ".syx");
  EXPECT_TRUE(rig->Scan());
  return rig;
}

std::vector<int> Page(const window::FirmwarePanel& panel) {
  std::vector<int> shown;
  for (int i = 0; i < FirmwareCatalog::kMaxEntries; ++i) {
    if (panel.OnPage(i))
      shown.push_back(i);
  }
  return shown;
}

TEST(Lists, SevenFilesArePagedThreeAtATimeByThePagingTextOnly) {
  auto rig = SevenFiles();
  const window::FirmwarePanel& firmware = rig->dialog->Firmware();
  ASSERT_EQ(firmware.Catalog().EntryCount(), 7);
  EXPECT_EQ(rig->Painted().TextAt(In(kFirmware, 20, 72))->text, "More Versions >>");
  // Just outside the paging text's area nothing turns.
  for (const Point outside : {In(kFirmware, 20, 80), In(kFirmware, 130, 80), In(kFirmware, 60, 72),
                              In(kFirmware, 60, 92)})
    rig->dialog->MousePress(outside);
  const std::vector<std::vector<int>> pages = {{0, 1, 2}, {3, 4, 5}, {6}, {0, 1, 2}};
  for (std::size_t page = 0; page < pages.size(); ++page) {
    EXPECT_EQ(Page(firmware), pages[page]) << "page " << page;
    rig->dialog->MousePress(page % 2 ? In(kFirmware, 60, 80) : In(kFirmware, 21, 73));
  }

  // The paging text darkens under the pointer; leaving the list keeps it dark.
  rig->dialog->MouseMove(In(kFirmware, 60, 80), false);
  EXPECT_TRUE(firmware.MoreHover());
  EXPECT_EQ(rig->Painted().TextAt(In(kFirmware, 20, 72))->colour, (Colour{40, 40, 40}));
  rig->dialog->MouseMove({300, 480}, false);
  EXPECT_TRUE(firmware.MoreHover());
  rig->dialog->MouseMove(In(kFirmware, 160, 80), false);
  EXPECT_FALSE(firmware.MoreHover());
}

TEST(Lists, EmptyListsSayWhyAndShortOnesHaveNoPaging) {
  // Type 7 is none of the eight models.
  auto rig = window_testing::ScannedRig({Complete(1, 7)});
  EXPECT_EQ(rig->dialog->Speakers().TotalSpeakers(), 0);
  EXPECT_EQ(rig->dialog->Speakers().EntryCount(), 0);
  const window_testing::PixelCanvas empty = rig->Painted();
  EXPECT_EQ(empty.TextAt(In(kSpeakers, 20, 0))->text, "No Speakers Found...");
  EXPECT_EQ(empty.TextAt(In(kFirmware, 20, 0))->text, "Firmware | Not Available...");
  EXPECT_EQ(empty.TextAt(In(kSpeakers, 20, 24)), nullptr);

  auto three = window_testing::ScannedRig({Complete(1, 4), Complete(2, 4)});
  const window::FirmwarePanel& firmware = three->dialog->Firmware();
  three->TickSpeaker(1);  // TARN-S1: its application, the newer one, the test software
  ASSERT_EQ(firmware.Catalog().EntryCount(), 3);
  EXPECT_EQ(three->Painted().TextAt(In(kFirmware, 20, 72)), nullptr);
  three->dialog->MousePress(In(kFirmware, 60, 80));
  EXPECT_EQ(firmware.FirstVisible(), 0);
  three->dialog->MouseMove(In(kFirmware, 60, 80), false);
  EXPECT_FALSE(firmware.MoreHover());
}

TEST(Lists, AClickOnACheckBoxTicksOnlyThatEntryAndAClickElsewhereHitsNothing) {
  auto rig = window_testing::ScannedRig({Complete(1), Complete(2, 4), Complete(3, 13)});
  const window::SpeakerPanel& speakers = rig->dialog->Speakers();
  const window::FirmwarePanel& firmware = rig->dialog->Firmware();
  EXPECT_EQ(speakers.EntryCount(), 8);
  EXPECT_EQ(speakers.TotalSpeakers(), 3);
  EXPECT_EQ(speakers.SelectedType(), 3);
  EXPECT_EQ(speakers.Entry(1).count, 1);
  EXPECT_EQ(FileName(rig->Selected()), "TarnS2V1.00.syx");

  // What a click at each point gives.
  const struct {
    Point at;
    int command;
  } hits[] = {
      {{653, 410}, UploadDialog::kUploadCommand},
      {{776, 445}, UploadDialog::kUploadCommand},
      {{777, 428}, 0},
      {{740, 500}, UploadDialog::kExitCommand},
      {{780, 5}, UploadDialog::kExitCommand},
      {{730, 20}, UploadDialog::kHelpCommand},
      {In(kSpeakers, 1, 24 + 1), 1501},
      {In(kSpeakers, 14, 48 + 14), 1502},
      {In(kSpeakers, 15, 7), 0},
      {In(kSpeakers, 40, 7), 0},
      {In(kFirmware, 7, 31), 1601},
      {In(kFirmware, 0, 7), 0},
  };
  for (const auto& hit : hits)
    EXPECT_EQ(rig->dialog->CommandAt(hit.at), hit.command) << hit.at.x << "," << hit.at.y;

  // A model tick rebuilds the file list; clearing it leaves nothing to choose.
  rig->TickSpeaker(1);
  EXPECT_EQ(speakers.SelectedType(), 4);
  EXPECT_FALSE(speakers.Entry(0).selected);
  EXPECT_EQ(FileName(rig->Selected()), "TarnS1V1.00.syx");
  rig->TickSpeaker(1);
  EXPECT_EQ(speakers.SelectedType(), 0);
  EXPECT_EQ(firmware.Catalog().EntryCount(), 0);
  EXPECT_EQ(rig->Selected(), "");
  rig->dialog->MousePress(In(kSpeakers, 15, 7));
  rig->dialog->MousePress(In(kSpeakers, 40, 7));
  EXPECT_EQ(speakers.SelectedType(), 0) << "only the check box reacts";

  rig->TickSpeaker(0);
  rig->TickFirmware(1);
  EXPECT_EQ(FileName(rig->Selected()), "TarnS2V1.23.syx");
  EXPECT_FALSE(firmware.Catalog().Selected(0));
  rig->TickFirmware(1);
  EXPECT_EQ(rig->Selected(), "") << "a click on the ticked file leaves none";
}

TEST(Lists, AnEntryKeepsItsHoverUntilThePointerComesBackToIt) {
  auto rig = window_testing::ScannedRig({Complete(1)});
  const window::FirmwarePanel& firmware = rig->dialog->Firmware();
  rig->dialog->MouseMove(In(kFirmware, 7, 7), false);
  EXPECT_TRUE(firmware.Hover(0));
  // Straight out of the window from inside the box, as a child window sees it.
  rig->dialog->MouseMove({300, 60}, false);
  EXPECT_TRUE(firmware.Hover(0));
  rig->dialog->MouseMove(In(kFirmware, 40, 7), false);
  EXPECT_FALSE(firmware.Hover(0));
  // A move over another entry leaves this one alone.
  rig->dialog->MouseMove(In(kFirmware, 7, 7), false);
  rig->dialog->MouseMove(In(kFirmware, 40, 31), false);
  EXPECT_TRUE(firmware.Hover(0));
}

}  // namespace
}  // namespace flashdesk
