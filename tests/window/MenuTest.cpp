// The right-click menu's commands and files dropped on the window, with the real worker
// threads against simulated speakers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/platform/FakeDeviceTree.h"
#include "tests/window/WindowRig.h"

namespace flashdesk {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;
using window::BitmapId;
using window::Colour;
using window::FontName;
using window::MenuItem;
using window::Point;
using window::Rect;
using window::UploadDialog;
using window_testing::WindowRig;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::unique_ptr<WindowRig> ScannedRig() {
  return window_testing::ScannedRig({testing_support::SimulatedSetup::CompleteSpeaker(3, 7)});
}

std::vector<std::string> ListedNames(const WindowRig& rig) {
  std::vector<std::string> names;
  const FirmwareCatalog& catalog = rig.dialog->Firmware().Catalog();
  for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
    names.push_back(fs::path(catalog.Entry(i).path).filename().string());
  return names;
}

// The menu the window shows now, its items found by text; nullptr for an item it lacks.
const MenuItem* Find(const std::vector<MenuItem>& items, const std::string& text) {
  for (const MenuItem& item : items) {
    if (item.text == text)
      return &item;
    if (const MenuItem* inner = Find(item.items, text))
      return inner;
  }
  return nullptr;
}
const MenuItem* ShownItem(WindowRig& rig, const std::string& text) {
  rig.dialog->RequestMenu({20, 20});
  return Find(rig.front.menu, text);
}
// Chooses the item as a user would; false, without choosing, when it is grey or missing.
bool Choose(WindowRig& rig, const std::string& text) {
  const MenuItem* item = ShownItem(rig, text);
  if (item == nullptr || !item->enabled)
    return false;
  rig.dialog->ChooseMenuItem(item->id);
  return true;
}

struct Menu : ::testing::Test {
  TempFolder scratch;
};

TEST_F(Menu, SaveReportWritesTheReportAsShownAndSaysWhenItCannot) {
  auto rig = ScannedRig();
  EXPECT_FALSE(Choose(*rig, strings::kSaveReportItem)) << "grey without a report";
  // Trailing blanks and the text after the last line feed are not shown, so not saved.
  rig->dialog->ChangeView([](UploadDialog::View& shown) {
    shown.reportText = " 1 Speaker(s) Passed:  \n    - Serial: 7\t\nunshown tail";
    shown.box = window::BoxContent::kReport;
  });
  const fs::path saved = scratch.path / "report.txt";
  for (const fs::path& target : {saved, scratch.path / "report.txt" / "below a file"}) {
    rig->front.reportFile = target.string();
    EXPECT_TRUE(Choose(*rig, strings::kSaveReportItem));
  }
  EXPECT_EQ(Contents(saved), " 1 Speaker(s) Passed:\n    - Serial: 7\n");
  ASSERT_EQ(rig->prompts.messages.size(), 1u);
  EXPECT_EQ(rig->prompts.messages[0].rfind(strings::kReportNotSavedMessage, 0), 0u);
  rig->front.reportFile.reset();
  EXPECT_TRUE(Choose(*rig, strings::kSaveReportItem)) << "cancelled";
  EXPECT_EQ(rig->prompts.messages.size(), 1u);
  EXPECT_TRUE(Choose(*rig, strings::kAboutItem));
  EXPECT_EQ(rig->front.aboutShown, 1);
}

TEST_F(Menu, AChosenFirmwareFolderIsListedAtOnceRememberedAndOpened) {
  auto rig = ScannedRig();
  ASSERT_EQ(ListedNames(*rig), (std::vector<std::string>{"TarnS2V1.00.syx", "TarnS2V1.23.syx",
                                                         "bootKelV1.05.syx", "TestKelV1.00.syx"}));
  // One speaker: the usual rules still offer the boot loader.
  for (const char* name : {"TarnS2V2.00.syx", "bootKelV2.00.syx", "TarnS1V2.00.syx"})
    scratch.Write(name, {});
  rig->front.folder = scratch.path.string();
  ASSERT_TRUE(Choose(*rig, strings::kFirmwareFolderItem));
  EXPECT_EQ(ListedNames(*rig), (std::vector<std::string>{"TarnS2V2.00.syx", "bootKelV2.00.syx"}));
  EXPECT_EQ(rig->Selected(), (scratch.path / "TarnS2V2.00.syx").string());
  EXPECT_EQ(rig->store.writes.back(), "FirmwareFolder=" + scratch.path.string());
  ASSERT_TRUE(Choose(*rig, strings::kOpenFirmwareFolderItem));
  EXPECT_EQ(rig->front.opened, std::vector<std::string>{scratch.path.string()});

  // The next window starts in the remembered folder; without one, in syx.
  testing_support::SimulatedSetup setup;
  window_testing::FakeFrontEnd front;
  const UploadDialog fresh(setup.Services(), front);
  EXPECT_EQ(fresh.Firmware().Folder(), FirmwareCatalog::kFolderName);
  setup.store.others[UploadDialog::kFolderValueName] = scratch.path.string();
  const UploadDialog remembering(setup.Services(), front);
  EXPECT_EQ(remembering.Firmware().Folder(), scratch.path.string());
}

// The fake device tree is a Linux sysfs; Windows lists its ports from the registry.
#ifndef _WIN32
TEST_F(Menu, AChosenSerialPortIsSearchedAtOnceAndRemembered) {
  testing_support::FakeTree tree;
  tree.Tty("ttyACM0", tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}}) / "1-4:1.0",
           "cdc_acm");
  const std::string acm = tree.Dev("ttyACM0");
  auto rig = ScannedRig();
  rig->dialog->SetDiscoveryRoots(tree.Roots());
  const auto searchAt = [&rig](const std::string& item) {
    const std::size_t before = rig->line.OpenAttempts().size();
    EXPECT_TRUE(Choose(*rig, item)) << item;
    EXPECT_FALSE(ShownItem(*rig, strings::kSerialPortMenu)->enabled) << "grey while searching";
    EXPECT_TRUE(rig->RunUntil([&rig] { return !rig->View().searching; }));
    const std::vector<std::int16_t> opens = rig->line.OpenAttempts();
    return std::vector<std::int16_t>(opens.begin() + static_cast<std::ptrdiff_t>(before),
                                     opens.end());
  };
  const auto remembered = [&rig](const std::string& path) {
    const std::vector<std::string>& writes = rig->store.writes;
    return std::count(writes.begin(), writes.end(), "PortPath=" + path);
  };

  EXPECT_TRUE(ShownItem(*rig, strings::kAutomaticPortItem)->checked);
  // The device alone is tried (it names no simulated port), and nobody is there.
  EXPECT_EQ(searchAt(acm), std::vector<std::int16_t>{-1});
  EXPECT_EQ(rig->dialog->Speakers().TotalSpeakers(), 0);
  EXPECT_TRUE(ShownItem(*rig, acm)->checked);
  EXPECT_EQ(remembered(acm), 1);
  EXPECT_EQ(rig->store.stored, "3") << "the saved number stays";

  EXPECT_EQ(searchAt(strings::kAutomaticPortItem),
            std::vector<std::int16_t>{testing_support::SimulatedSetup::kBusPort});
  EXPECT_EQ(rig->dialog->Speakers().TotalSpeakers(), 1);
  EXPECT_EQ(remembered(""), 1);

  // The next window starts at the remembered device.
  testing_support::SimulatedSetup setup;
  setup.store.others[UploadDialog::kPortPathValueName] = acm;
  window_testing::FakeFrontEnd front;
  UploadDialog next(setup.Services(), front);
  EXPECT_EQ(next.Session().PinnedPort(), acm);
}
#endif

TEST_F(Menu, DroppedFilesAreCopiedUnlessTheyWouldOverwriteOrBeRefused) {
  auto rig = ScannedRig();
  const fs::path folder = fs::absolute(FirmwareCatalog::kFolderName);
  const std::string before = Contents(folder / "TarnS2V1.00.syx");
  const std::string fresh = scratch.Write("TarnS2V3.00.syx", testing_support::ImageBytes(2, 200));
  const std::string taken = scratch.Write("TarnS2V1.00.syx", testing_support::ImageBytes(2, 99));
  const std::string refused = scratch.Write("TarnS2V4.00.syx", {2, 3, 3});
  const std::string notes = scratch.Write("notes.txt", {});
  rig->dialog->DropFiles({fresh, taken, refused, notes});

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

}  // namespace
}  // namespace flashdesk
