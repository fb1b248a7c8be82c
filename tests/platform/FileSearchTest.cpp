#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/FileSearch.h"

namespace flashdesk::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class FileSearchTest : public ::testing::Test {
 protected:
  FileSearchTest() {
    folder = std::filesystem::temp_directory_path() /
             ("flashdesk-files-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    for (const char* name : {"TA-SAT_V1.20.syx", "ta-sat_v1.10.SYX", "Ta-Bass_V2.00.syx",
                             "readme.txt", "TA-SAT_V1.30.syx.bak", "b.syx", "A.syx"}) {
      std::ofstream(folder / name) << "x";
    }
    std::filesystem::create_directory(folder / "folder.syx");
  }
  ~FileSearchTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  std::vector<std::string> Find(const std::string& pattern) {
    return FindFiles(folder.string(), pattern);
  }

  std::filesystem::path folder;
};

struct SearchCase {
  const char* pattern;
  std::vector<std::string> expected;
};

TEST_F(FileSearchTest, WildcardsIgnoreCaseAndResultsSortWithoutCase) {
  const SearchCase cases[] = {
      {"*.syx", {"A.syx", "b.syx", "Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"ta-sat*.syx", {"ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"*SAT*", {"ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx", "TA-SAT_V1.30.syx.bak"}},
      {"*_v*.*0.syx", {"Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"README.TXT", {"readme.txt"}},
      {"*",
       {"A.syx", "b.syx", "readme.txt", "Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx",
        "TA-SAT_V1.30.syx.bak"}},
      {"*.hex", {}},
      {"", {}},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_THAT(Find(c.pattern), ElementsAreArray(c.expected));
  }
}

TEST_F(FileSearchTest, BacktrackingPatternsMatchWithoutBlowingUp) {
  const std::string longName(200, 'a');
  std::ofstream(folder / longName) << "x";
  EXPECT_THAT(Find("*a*a*a*a*a*a*a*a*b"), IsEmpty());
  EXPECT_THAT(Find("*a*a*a*a*a*a*a*a*"), ElementsAre(longName));
}

}  // namespace
}  // namespace flashdesk::platform
