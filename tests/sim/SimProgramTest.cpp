// flashdesk-sim as a user starts it: its command line, usage errors, sample firmware, the link
// to its pseudo-terminal and a clean stop on signals. What the simulated speakers do behind the
// link is exercised by the engine's, the window's and the command line's tests.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SimOptions.h"
#include "testing/PseudoTerminal.h"

namespace flashdesk::sim {
namespace {

namespace fs = std::filesystem;

// Software entries as kind * 10000 + major * 100 + minor, for comparing whole lists.
std::vector<int> Versions(const std::vector<SoftwareEntry>& software) {
  std::vector<int> versions;
  for (const SoftwareEntry& entry : software)
    versions.push_back(entry.kind * 10000 + entry.major * 100 + entry.minor);
  return versions;
}

TEST(SimOptions, SpeakersAreBuiltFromTheCommandLine) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions(
      {"--link", "x", "--speaker", "268435455:13:bootsignal:split:twice", "--entry", "1:1.05",
       "--entry", "13:2.10", "--boot-signal-period", "250", "--checksum-error", "2:17",
       "--vanish-after", "9", "--speaker", "5:8:dead:newserials:deaf", "--noise", "-v"},
      options, error))
      << error;
  EXPECT_TRUE(options.verbose && options.noiseAfterUploadStart);
  // app:silent and --entry for an application-mode speaker are run by the command line's tests.
  ASSERT_EQ(options.speakers.size(), 2u);
  const SpeakerConfig& first = options.speakers[0];
  EXPECT_EQ(first.serial, 268435455u);
  EXPECT_TRUE(first.mode == SpeakerMode::kBoot && first.splitReplies && first.answersTwice);
  EXPECT_EQ(first.bootSignalPeriodMs, 250);
  ASSERT_EQ(first.injectedErrors.size(), 1u);
  EXPECT_EQ(first.injectedErrors[0].attempt * 100 + first.injectedErrors[0].block, 217);
  EXPECT_EQ(first.injectedErrors[0].code, kReplyChecksumError);
  EXPECT_EQ(first.vanishAfterBlocks, 9);
  EXPECT_EQ(Versions(first.software), (std::vector<int>{10105, 130210}));
  // Given no entries: boot loader, application and FPGA software.
  EXPECT_TRUE(options.speakers[1].neverAnswers && options.speakers[1].ignoresUploads);
  EXPECT_TRUE(options.speakers[1].chatterNewSerials && options.speakers[1].chatterPeriodMs > 0);
  EXPECT_EQ(Versions(options.speakers[1].software), (std::vector<int>{10100, 80100, 100}));
}

// The program's exit status with arguments, and what it printed. One that serves when it should
// have refused is stopped after 30 s (status 124).
std::pair<int, std::string> RunProgram(const std::string& arguments) {
  FILE* pipe =
      ::popen(("timeout 30 " FLASHDESK_SIM_PROGRAM " " + arguments + " 2>&1").c_str(), "r");
  std::string output;
  for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;)
    output += static_cast<char>(c);
  const int status = pipe != nullptr ? ::pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(SimProgram, UsageErrorsFirmwareLinksAndACleanStopOnSignals) {
  fakes::PortFolder folder;
  const std::string scratch = fs::path(folder.PathOf(0)).parent_path().string();
  const std::string plain = scratch + "/plain";
  std::ofstream(plain) << "x";
  const std::tuple<std::string, int, std::string> runs[] = {
      {"--help", 0, ""},
      {"--speaker 1:4", 2, "--link"},
      {"--link x", 2, "no speakers"},
      {"--link", 2, "needs a value"},
      {"--link x --speaker 268435456:4", 2, "--speaker"},
      {"--link x --speaker 1:4:loud", 2, "loud"},
      {"--link x --entry 1:1.00", 2, "belongs to a --speaker"},
      {"--link x --speaker 1:4 --checksum-error 1", 2, "--checksum-error"},
      {"--link x --speaker 1:4 --fast", 2, "unknown option"},
      {"make-firmware a b", 2, "one folder"},
      {"make-firmware " + scratch + "/syx", 0, ""},
      {"make-firmware " + plain + "/syx", 1, plain},
      // Only an old link is replaced: a file in its place is left alone.
      {"--demo --link " + plain, 1, "not a link"},
      {"--demo --link " + scratch + "/missing/COM5", 1, ""}};
  for (const auto& [arguments, status, told] : runs) {
    const auto [exitStatus, output] = RunProgram(arguments);
    EXPECT_EQ(exitStatus, status) << arguments << "\n" << output;
    EXPECT_NE(output.find(told), std::string::npos) << arguments << "\n" << output;
  }
  EXPECT_TRUE(fs::exists(scratch + "/syx/" + SampleFirmwareFiles().front().name));
  EXPECT_TRUE(fs::is_regular_file(plain));

  const std::string link = folder.PathOf(3);
  const auto replaced = [&link] {  // the old link replaced by one to a terminal
    std::error_code missing;
    return fs::read_symlink(link, missing) != "/dev/null" && fs::is_character_file(link, missing);
  };
  for (int signal : {SIGTERM, SIGINT}) {
    folder.Link(3, "/dev/null");
    const char* argv[] = {FLASHDESK_SIM_PROGRAM, "--demo", "--link", link.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ),
              0);
    for (int tries = 0; tries < 3000 && !replaced(); ++tries)  // 30 s at most
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(replaced()) << "signal " << signal;
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "signal " << signal;
  }
}

}  // namespace
}  // namespace flashdesk::sim
