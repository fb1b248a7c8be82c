// The platform pieces every system shares: file search, port templates and the digest.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "platform/FileSearch.h"
#include "platform/PortTemplate.h"
#include "platform/Sha256.h"
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

// The system's own digest, on each system.
TEST(Sha256, MatchesTheStandardsExamplesFedInAnyPieces) {
  const std::string million(1000000, 'a');
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [message, digest] : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
    for (const std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{1000}}) {
      Sha256 sha;
      for (std::size_t at = 0; at < message.size(); at += piece)
        sha.Add(bytes + at, std::min(piece, message.size() - at));
      EXPECT_EQ(sha.HexDigest(), digest) << message.size() << " bytes in pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace flashdesk::platform
