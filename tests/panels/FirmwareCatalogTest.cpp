#include "panels/FirmwareCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/FileSearch.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk {
namespace {

using gui_testing::FirmwareFolder;

std::string InFolder(const std::string& name) {
  return std::string("syx") + platform::PathSeparator() + name;
}

// Paths and kinds of listed entries.
using Listing = std::vector<std::pair<std::string, std::int32_t>>;

struct CatalogFixture : ::testing::Test {
  Listing Listed() const {
    Listing listed;
    for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
      listed.emplace_back(catalog.Entry(i).path, catalog.Entry(i).kind);
    return listed;
  }
  std::string Selected() const {
    std::string path;
    return catalog.GetSelectedFile(path) ? path : "none";
  }

  std::vector<std::string> messages;
  FirmwareCatalog catalog{[this](const std::string& text) { messages.push_back(text); }};
  FirmwareFolder folder{
      {"TarnS1V1.00.syx", "TarnS1V1.10.syx", "bootKelV1.05.syx", "TestKelV1.00.syx"}};
};

TEST(FirmwareVersion, IsReadFromTheCharactersAfterTheLastUppercaseV) {
  const struct {
    const char* name;
    std::int32_t version;
  } cases[] = {
      {"TarnS1V1.23.syx", 123},
      {"TarnS1V12.3.syx", 83},     // the '.' enters the sum as -2
      {"tarns1v1.00.syx", 7522},   // no uppercase V: 't', 'r', 'n' from the start
      {"TarnS1V1.00V2.syx", 943},  // the second V counts
      {"V1", 100 - 48 * 11},       // missing characters count as zero bytes, no overrun
      {"", -48 * 111},
  };
  for (const auto& example : cases)
    EXPECT_EQ(FirmwareCatalog::VersionFromName(example.name), example.version) << example.name;
}

TEST_F(CatalogFixture, ApplicationsComeFirstThenBootLoadersForOneSpeakerThenTestSoftware) {
  const Listing::value_type s100{InFolder("TarnS1V1.00.syx"), kKindApplication},
      s110{InFolder("TarnS1V1.10.syx"), kKindApplication},
      boot{InFolder("bootKelV1.05.syx"), kKindBoot}, test{InFolder("TestKelV1.00.syx"), kKindTest};
  catalog.SetHideBootFiles(1);
  catalog.BuildCatalog(4);
  EXPECT_EQ(Listed(), (Listing{s100, s110, test}));
  catalog.SetHideBootFiles(0);
  catalog.BuildCatalog(4);
  EXPECT_EQ(Listed(), (Listing{s100, s110, boot, test}));
  EXPECT_EQ(catalog.Entry(2).version, 105);
  EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogFixture, AFullListIsCutAtSixtyAndSaysSo) {
  const struct {
    int applications;
    int tests;
    std::int32_t listed;
  } cases[] = {{59, 2, 60}, {60, 0, 60}, {58, 1, 59}, {61, 1, 60}};
  for (const auto& example : cases) {
    FirmwareFolder files;
    for (int i = 0; i < example.applications; ++i)
      files.Add("Low1V0." + std::to_string(100 + i) + ".syx");
    for (int i = 0; i < example.tests; ++i)
      files.Add("TestKelV1.0" + std::to_string(i) + ".syx");
    messages.clear();
    catalog.BuildCatalog(5);
    EXPECT_EQ(catalog.EntryCount(), example.listed) << example.applications;
    // Said whenever the list is full, even with nothing left out.
    const std::vector<std::string> told = {"Unable to generate complete\nlist of software"};
    EXPECT_EQ(messages, example.listed == 60 ? told : std::vector<std::string>{});
    // The first test file follows the applications while there is room.
    EXPECT_EQ(catalog.Entry(std::min(example.applications, 59)).kind,
              example.applications < 60 ? kKindTest : kKindApplication);
  }
}

TEST_F(CatalogFixture, EveryBuildSelectsItsFirstEntryAndAMissingFolderNone) {
  catalog.BuildCatalog(4);
  catalog.SetSelected(2, true);
  EXPECT_EQ(Selected(), InFolder("TestKelV1.00.syx")) << "the last tick wins";
  catalog.BuildCatalog(4);
  EXPECT_EQ(Selected(), InFolder("TarnS1V1.00.syx"));
  EXPECT_FALSE(catalog.Selected(2));
  catalog.SetSelected(2, true);
  folder.RemoveFolder();
  catalog.BuildCatalog(4);
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_EQ(catalog.Entry(2).path, InFolder("TestKelV1.00.syx")) << "old slots stay";
  EXPECT_EQ(Selected(), "none") << "but are never returned";
  EXPECT_TRUE(messages.empty());

  // Counts outside the slots are clamped.
  catalog.SetEntryCount(1000);
  EXPECT_EQ(catalog.EntryCount(), FirmwareCatalog::kMaxEntries);
  EXPECT_NE(Selected(), "none");
  catalog.SetEntryCount(-5);
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_EQ(Selected(), "none");
  EXPECT_EQ(catalog.Entry(-1).path, "");
  EXPECT_EQ(catalog.Entry(FirmwareCatalog::kMaxEntries).path, "");
}

}  // namespace
}  // namespace flashdesk
