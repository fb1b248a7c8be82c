// The platform pieces every system shares: file search and port templates.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "platform/FileSearch.h"
#include "platform/PortTemplate.h"
#include "testing/EngineRig.h"

namespace flashdesk::platform {
namespace {

// Case and order are also pinned through the firmware catalog's searches.
TEST(FileSearch, WildcardsIgnoreCaseSkipFoldersAndBacktrackWithoutBlowingUp) {
  const testing_support::TempFolder folder;
  std::filesystem::create_directory(folder.path / "folder.syx");
  const std::string longName(150, 'a');  // within 260 characters of path on Windows
  for (const std::string name : {"TA-SAT_V1.20.syx", "ta-sat_v1.10.SYX", "Ta-Bass_V2.00.syx",
                                 "TA-SAT_V1.30.syx.bak", "b.syx", longName.c_str()})
    std::ofstream(folder.path / name) << "x";
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"*.syx", {"b.syx", "Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"*_v*.*0.syx", {"Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"", {}},
      {"*a*a*a*a*a*a*a*a*b", {}},
      {"*a*a*a*a*a*a*a*a*", {longName}},
  };
  for (const auto& [pattern, expected] : cases)
    EXPECT_EQ(FindFiles(folder.path.string(), pattern), expected) << pattern;
}

TEST(PortTemplate, ExpandsOneIntegerConversionAndRefusesEverythingElse) {
  const std::tuple<const char*, std::int16_t, const char*> expanded[] = {
      {"/dev/ttyUSB%i", 0, "/dev/ttyUSB0"},
      {"%i", -1, "-1"},
      {"/x/100%%/tty%i", 3, "/x/100%/tty3"}};
  for (const auto& [pattern, port, path] : expanded)
    EXPECT_EQ(ExpandPortTemplate(pattern, port).value_or("refused"), path) << pattern;
  for (const char* refused : {"/dev/tty%i%i", "/dev/%s%i", "/dev/%n%i", "/dev/tty%d", "/dev/tty%5i",
                              "/dev/tty%i%", "", "/dev/tty%%i", "/dev/ttyUSB"})
    EXPECT_FALSE(ExpandPortTemplate(refused, 3)) << refused;
}

}  // namespace
}  // namespace flashdesk::platform
