#include "catalog/FirmwareCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::TempFolder;

// A scratch folder holding empty files of these names; the catalog reads names only.
std::unique_ptr<TempFolder> FolderWith(const std::vector<std::string>& names) {
  auto folder = std::make_unique<TempFolder>();
  for (const std::string& name : names)
    folder->Write(name, {});
  return folder;
}

// Paths and kinds of listed entries.
using Listing = std::vector<std::pair<std::string, std::int32_t>>;

struct CatalogFixture : ::testing::Test {
  CatalogFixture() { catalog.SetFolder(folder->path.string()); }

  // Searches files instead, as when the user chose another folder.
  void SearchIn(const TempFolder& files) { catalog.SetFolder(files.path.string()); }
  std::string InFolder(const std::string& name) const {
    return (std::filesystem::path(catalog.Folder()) / name).string();
  }
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
  std::unique_ptr<TempFolder> folder =
      FolderWith({"TarnS1V1.00.syx", "TarnS1V1.10.syx", "bootKelV1.05.syx", "TestKelV1.00.syx"});
};

TEST(FirmwareVersion, IsReadFromTheCharactersAfterTheLastUppercaseV) {
  const struct {
    const char* name;
    std::int32_t version;
  } cases[] = {
      {"TarnS1V1.23.syx", 123},
      {"bootKelV1.05.syx", 105},
      {"TarnS1V12.3.syx", 83},           // the '.' enters the sum as -2
      {"tarns1v1.00.syx", 7522},         // no uppercase V: 't', 'r', 'n' from the start
      {"TarnS1V1.00V2.syx", 943},        // the second V counts
      {"Not An Upload File.syx", 3664},  // 'N', 't' and ' '
      {"V", -48 * 111},                  // missing characters count as zero bytes, no overrun
      {"V1", 100 - 48 * 11},
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

TEST_F(CatalogFixture, SearchIgnoresCaseAndOrdersNamesAlphabetically) {
  const auto files = FolderWith({"TarnS1V2.00.syx", "tarns1v1.00.syx", "TARNS1V1.50.SYX",
                                 "TarnS2V1.00.syx", "TarnS1V1.00.txt"});
  SearchIn(*files);
  catalog.BuildCatalog(4);
  ASSERT_EQ(catalog.EntryCount(), 3);
  EXPECT_EQ(catalog.Entry(0).path, InFolder("tarns1v1.00.syx"));
  EXPECT_EQ(catalog.Entry(0).version, 7522);
  EXPECT_EQ(catalog.Entry(1).path, InFolder("TARNS1V1.50.SYX"));
  EXPECT_EQ(catalog.Entry(2).path, InFolder("TarnS1V2.00.syx"));
}

TEST_F(CatalogFixture, UnknownModelsListAFileNamedNotAnUploadFileOncePerSearch) {
  folder->Write("Not An Upload File.syx", {});
  const std::string file = InFolder("Not An Upload File.syx");
  for (const std::int32_t type : {0, 7, 99}) {
    catalog.SetHideBootFiles(0);
    catalog.BuildCatalog(type);
    EXPECT_EQ(Listed(), (Listing{{file, kKindApplication}, {file, kKindBoot}, {file, kKindTest}}))
        << type;
    EXPECT_EQ(catalog.Entry(0).version, 3664);
  }
}

TEST_F(CatalogFixture, AFullListIsCutAtSixtyAndSaysSo) {
  const struct {
    int applications;
    int tests;
    std::int32_t listed;
  } cases[] = {{59, 2, 60}, {60, 0, 60}, {58, 1, 59}, {61, 1, 60}};
  for (const auto& example : cases) {
    TempFolder files;
    for (int i = 0; i < example.applications; ++i)
      files.Write("Low1V0." + std::to_string(100 + i) + ".syx", {});
    for (int i = 0; i < example.tests; ++i)
      files.Write("TestKelV1.0" + std::to_string(i) + ".syx", {});
    SearchIn(files);
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

TEST_F(CatalogFixture, EveryBuildSelectsItsFirstEntryAndAnEmptyOrMissingFolderNone) {
  catalog.BuildCatalog(4);
  catalog.SetSelected(2, true);
  EXPECT_EQ(Selected(), InFolder("TestKelV1.00.syx")) << "the last tick wins";
  catalog.BuildCatalog(4);
  EXPECT_EQ(Selected(), InFolder("TarnS1V1.00.syx"));
  EXPECT_FALSE(catalog.Selected(2));
  const TempFolder empty;
  SearchIn(empty);
  catalog.BuildCatalog(4);
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_EQ(Selected(), "none");

  SearchIn(*folder);
  catalog.BuildCatalog(4);
  catalog.SetSelected(2, true);
  const std::string test = InFolder("TestKelV1.00.syx");
  folder.reset();
  catalog.BuildCatalog(4);
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_EQ(catalog.Entry(2).path, test) << "old slots stay";
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
