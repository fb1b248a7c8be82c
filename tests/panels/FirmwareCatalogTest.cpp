#include "panels/FirmwareCatalog.h"

#include <gtest/gtest.h>

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

struct CatalogFixture : ::testing::Test {
  FirmwareCatalog catalog{[this](const std::string& text) { messages.push_back(text); }};
  std::vector<std::string> messages;
  FirmwareFolder folder;

  std::vector<FirmwareEntry> Listed() const {
    std::vector<FirmwareEntry> listed;
    for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
      listed.push_back(catalog.Entry(i));
    return listed;
  }
};

TEST(FirmwareVersion, IsReadFromTheCharactersAfterTheLastUppercaseV) {
  const struct {
    const char* name;
    std::int32_t version;
  } cases[] = {
      {"TarnS1V1.23.syx", 123},         {"bootKelV1.05.syx", 105},
      {"TarnS1V12.3.syx", 83},           // the '.' enters the sum as -2
      {"tarns1v1.00.syx", 7522},         // no uppercase V: 't', 'r', 'n' from the start
      {"TarnS1V1.00V2.syx", 943},        // the second V counts
      {"Not An Upload File.syx", 3664},  // 'N', 't' and ' '
      {"Low4V2.50.syx", 250},
  };
  for (const auto& example : cases) {
    EXPECT_EQ(FirmwareCatalog::VersionFromName(example.name), example.version) << example.name;
  }
}

TEST(FirmwareVersion, NamesTooShortToHoldAVersionAreReadWithoutOverrun) {
  // Missing characters count as zero bytes; what matters is that nothing past the name is read.
  EXPECT_EQ(FirmwareCatalog::VersionFromName("V"), -48 * 111);
  EXPECT_EQ(FirmwareCatalog::VersionFromName("V1"), 100 - 48 * 11);
  EXPECT_EQ(FirmwareCatalog::VersionFromName(""), -48 * 111);
}

TEST(FirmwarePatterns, ModelsOutsideTheTableSearchForNoUploadFile) {
  for (const std::int32_t type : {0, 1, 2, 7, 9, 11, 14, 99, -3}) {
    const FirmwarePatterns patterns = FirmwareCatalog::PatternsFor(type);
    EXPECT_STREQ(patterns.application, "Not An Upload File") << type;
    EXPECT_STREQ(patterns.bootLoader, "Not An Upload File") << type;
    EXPECT_STREQ(patterns.testSoftware, "Not An Upload File") << type;
  }
  EXPECT_STREQ(FirmwareCatalog::PatternsFor(4).application, "TarnS1V*");
  EXPECT_STREQ(FirmwareCatalog::PatternsFor(13).application, "Low4V*");
  EXPECT_STREQ(FirmwareCatalog::PatternsFor(13).bootLoader, "bootKelV*");
  EXPECT_STREQ(FirmwareCatalog::PatternsFor(3).testSoftware, "TestKelV*");
}

TEST_F(CatalogFixture, SeveralSpeakersGetApplicationThenTestSoftware) {
  for (const char* name : {"TestKelV1.00.syx", "bootKelV1.00.syx", "TarnS1V1.00.syx"}) {
    folder.Add(name);
  }
  catalog.SetHideBootFiles(1);
  catalog.BuildCatalog(4);
  const std::vector<FirmwareEntry> listed = Listed();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, InFolder("TarnS1V1.00.syx"));
  EXPECT_EQ(listed[0].kind, kKindApplication);
  EXPECT_EQ(listed[1].path, InFolder("TestKelV1.00.syx"));
  EXPECT_EQ(listed[1].kind, kKindTest);
  EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogFixture, ASingleSpeakerIsAlsoOfferedBootLoaders) {
  for (const char* name : {"TestKelV1.00.syx", "bootKelV1.05.syx", "TarnS1V1.00.syx"}) {
    folder.Add(name);
  }
  catalog.SetHideBootFiles(0);
  catalog.BuildCatalog(4);
  const std::vector<FirmwareEntry> listed = Listed();
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].kind, kKindApplication);
  EXPECT_EQ(listed[1].path, InFolder("bootKelV1.05.syx"));
  EXPECT_EQ(listed[1].kind, kKindBoot);
  EXPECT_EQ(listed[1].version, 105);
  EXPECT_EQ(listed[2].kind, kKindTest);
}

TEST_F(CatalogFixture, SearchIgnoresCaseAndOrdersNamesAlphabetically) {
  for (const char* name : {"TarnS1V2.00.syx", "tarns1v1.00.syx", "TARNS1V1.50.SYX",
                           "TarnS2V1.00.syx", "TarnS1V1.00.txt"}) {
    folder.Add(name);
  }
  catalog.BuildCatalog(4);
  const std::vector<FirmwareEntry> listed = Listed();
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].path, InFolder("tarns1v1.00.syx"));
  EXPECT_EQ(listed[0].version, 7522);
  EXPECT_EQ(listed[1].path, InFolder("TARNS1V1.50.SYX"));
  EXPECT_EQ(listed[1].version, 150);
  EXPECT_EQ(listed[2].path, InFolder("TarnS1V2.00.syx"));
}

TEST_F(CatalogFixture, UnknownModelsListAFileNamedNotAnUploadFileOncePerSearch) {
  folder.Add("Not An Upload File.syx");
  folder.Add("TarnS1V1.00.syx");
  for (const std::int32_t type : {0, 7, 99}) {
    catalog.SetHideBootFiles(0);
    catalog.BuildCatalog(type);
    std::vector<FirmwareEntry> listed = Listed();
    ASSERT_EQ(listed.size(), 3u) << type;
    EXPECT_EQ(listed[0].kind, kKindApplication);
    EXPECT_EQ(listed[1].kind, kKindBoot);
    EXPECT_EQ(listed[2].kind, kKindTest);
    for (const FirmwareEntry& entry : listed)
      EXPECT_EQ(entry.version, 3664);

    catalog.SetHideBootFiles(1);
    catalog.BuildCatalog(type);
    listed = Listed();
    ASSERT_EQ(listed.size(), 2u) << type;
    EXPECT_EQ(listed[1].kind, kKindTest);
  }
}

TEST_F(CatalogFixture, AFullListIsCutAtSixtyAndSaysSo) {
  const struct {
    int applications;
    int tests;
    std::int32_t listed;
    bool told;
  } cases[] = {
      {59, 2, 60, true},  // the second test file is left out
      {60, 0, 60, true},  // full without anything left out: still said
      {58, 1, 59, false},
      {61, 1, 60, true},
  };
  for (const auto& example : cases) {
    FirmwareFolder files;
    for (int i = 0; i < example.applications; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "Low1V%d.%02d.syx", i / 100, i % 100);
      files.Add(name);
    }
    for (int i = 0; i < example.tests; ++i)
      files.Add("TestKelV1.0" + std::to_string(i) + ".syx");
    messages.clear();
    catalog.BuildCatalog(5);
    EXPECT_EQ(catalog.EntryCount(), example.listed) << example.applications;
    if (example.told) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0], "Unable to generate complete\nlist of software");
    } else {
      EXPECT_TRUE(messages.empty());
    }
    if (example.applications == 59 && example.tests == 2) {
      EXPECT_EQ(catalog.Entry(59).path, InFolder("TestKelV1.00.syx"));
      EXPECT_EQ(catalog.Entry(59).kind, kKindTest);
    }
  }
}

TEST_F(CatalogFixture, EmptyOrMissingFolderGivesNoEntriesAndNoSelection) {
  folder.Add("TarnS1V1.00.syx");
  catalog.BuildCatalog(4);
  std::string path;
  ASSERT_TRUE(catalog.GetSelectedFile(path));

  catalog.BuildCatalog(5);  // nothing matches
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_FALSE(catalog.GetSelectedFile(path));
  EXPECT_EQ(path, "");

  folder.RemoveFolder();
  catalog.BuildCatalog(4);
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_FALSE(catalog.GetSelectedFile(path));
  EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogFixture, EveryBuildSelectsItsFirstEntryOnly) {
  for (const char* name : {"TarnS1V1.00.syx", "TarnS1V1.10.syx", "TestKelV1.00.syx"}) {
    folder.Add(name);
  }
  catalog.BuildCatalog(4);
  catalog.SetSelected(0, false);
  catalog.SetSelected(2, true);
  std::string path;
  ASSERT_TRUE(catalog.GetSelectedFile(path));
  EXPECT_EQ(path, InFolder("TestKelV1.00.syx"));

  catalog.BuildCatalog(4);
  ASSERT_TRUE(catalog.GetSelectedFile(path));
  EXPECT_EQ(path, InFolder("TarnS1V1.00.syx"));
  EXPECT_FALSE(catalog.Selected(1));
  EXPECT_FALSE(catalog.Selected(2));
}

TEST_F(CatalogFixture, SlotsBeyondAShorterBuildAreKeptButNeverReturned) {
  for (const char* name : {"TarnS1V1.00.syx", "TarnS1V1.10.syx", "TarnS1V1.20.syx"}) {
    folder.Add(name);
  }
  catalog.BuildCatalog(4);
  catalog.SetSelected(2, true);
  folder.RemoveFolder();
  catalog.BuildCatalog(4);
  EXPECT_EQ(catalog.Entry(2).path, InFolder("TarnS1V1.20.syx"));
  std::string path;
  EXPECT_FALSE(catalog.GetSelectedFile(path));
}

TEST_F(CatalogFixture, TheLastSelectedEntryWinsAndClearingKeepsOnlyOne) {
  for (const char* name : {"TarnS1V1.00.syx", "TarnS1V1.10.syx", "TarnS1V1.20.syx"}) {
    folder.Add(name);
  }
  catalog.BuildCatalog(4);
  catalog.SetSelected(1, true);
  std::string path;
  ASSERT_TRUE(catalog.GetSelectedFile(path));
  EXPECT_EQ(path, InFolder("TarnS1V1.10.syx"));
  catalog.ClearSelectionExcept(1);
  EXPECT_FALSE(catalog.Selected(0));
  EXPECT_TRUE(catalog.Selected(1));
}

TEST_F(CatalogFixture, EntryCountsOutsideTheSlotsAreClamped) {
  folder.Add("TarnS1V1.00.syx");
  catalog.BuildCatalog(4);
  catalog.SetEntryCount(1000);
  EXPECT_EQ(catalog.EntryCount(), FirmwareCatalog::kMaxEntries);
  std::string path;
  EXPECT_TRUE(catalog.GetSelectedFile(path));
  catalog.SetEntryCount(-5);
  EXPECT_EQ(catalog.EntryCount(), 0);
  EXPECT_FALSE(catalog.GetSelectedFile(path));
  EXPECT_EQ(catalog.Entry(-1).path, "");
  EXPECT_EQ(catalog.Entry(FirmwareCatalog::kMaxEntries).path, "");
}

}  // namespace
}  // namespace flashdesk
