// The platform pieces every system shares: file search and port templates.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/FileSearch.h"
#include "platform/PortTemplate.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(FileSearch, WildcardsIgnoreCaseAndResultsSortWithoutCase) {
  const fs::path folder =
      fs::temp_directory_path() / ("flashdesk-files-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "folder.syx");  // folders are never listed
  const std::string longName(200, 'a');
  for (const char* name : {"TA-SAT_V1.20.syx", "ta-sat_v1.10.SYX", "Ta-Bass_V2.00.syx",
                           "readme.txt", "TA-SAT_V1.30.syx.bak", "b.syx", "A.syx"}) {
    std::ofstream(folder / name) << "x";
  }
  std::ofstream(folder / longName) << "x";
  const std::pair<const char*, Names> cases[] = {
      {"*.syx", {"A.syx", "b.syx", "Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"ta-sat*.syx", {"ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"*SAT*", {"ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx", "TA-SAT_V1.30.syx.bak"}},
      {"*_v*.*0.syx", {"Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX", "TA-SAT_V1.20.syx"}},
      {"README.TXT", {"readme.txt"}},
      {"*",
       {"A.syx", longName, "b.syx", "readme.txt", "Ta-Bass_V2.00.syx", "ta-sat_v1.10.SYX",
        "TA-SAT_V1.20.syx", "TA-SAT_V1.30.syx.bak"}},
      {"*.hex", {}},
      {"", {}},
      // Patterns that backtrack a lot must neither blow up nor miss.
      {"*a*a*a*a*a*a*a*a*b", {}},
      {"*a*a*a*a*a*a*a*a*", {longName}},
  };
  for (const auto& [pattern, expected] : cases) {
    EXPECT_EQ(FindFiles(folder.string(), pattern), expected) << pattern;
  }
  EXPECT_TRUE(FindFiles((folder / "missing").string(), "*").empty());
  fs::remove_all(folder);
}

TEST(PortTemplate, ExpandsOneIntegerConversionAndRefusesEverythingElse) {
  struct Case {
    const char* pattern;
    std::int16_t port;
    const char* expected;  // nullptr: refused
  };
  const Case cases[] = {{"/dev/ttyUSB%i", 0, "/dev/ttyUSB0"},
                        {"/tmp/bus/COM%i", 12, "/tmp/bus/COM12"},
                        {"%i", -1, "-1"},
                        {"/x/%i", 32767, "/x/32767"},
                        {"/x/100%%/tty%i", 3, "/x/100%/tty3"},
                        {"/dev/ttyUSB", 3, nullptr},
                        {"/dev/tty%i%i", 3, nullptr},
                        {"/dev/%s%i", 3, nullptr},
                        {"/dev/%n%i", 3, nullptr},
                        {"/dev/tty%d", 3, nullptr},
                        {"/dev/tty%5i", 3, nullptr},
                        {"/dev/tty%i%", 3, nullptr},
                        {"", 3, nullptr},
                        {"/dev/tty%%i", 3, nullptr}};
  for (const Case& c : cases) {
    const auto path = ExpandPortTemplate(c.pattern, c.port);
    EXPECT_EQ(path.value_or("refused"), c.expected ? c.expected : "refused") << c.pattern;
  }
}

}  // namespace
}  // namespace flashdesk::platform
