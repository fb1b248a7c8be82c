// flashdesk-sim's link to its pseudo-terminal, and the program as a user starts it. The bus
// behind the link is exercised by the window's and the command line's real-time runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "sim/FirmwareImage.h"
#include "sim/posix/PtyBus.h"
#include "testing/PseudoTerminal.h"

namespace flashdesk::sim {
namespace {

namespace fs = std::filesystem;

// Runs the program with arguments; its exit status, and what it printed in output.
int RunProgram(const std::string& arguments, std::string& output) {
  const std::string command = std::string(FLASHDESK_SIM_PROGRAM) + " " + arguments + " 2>&1";
  output.clear();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr)
    return -1;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, got);
  const int raw = ::pclose(pipe);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(PtyBus, LinkReplacesOnlyAnOldLink) {
  fakes::PortFolder ports;
  SpeakerBus bus;
  const std::string path = ports.PathOf(4);
  ports.Link(4, "/dev/null");
  std::string error;
  {
    PtyBus replacing(bus, path);
    ASSERT_TRUE(replacing.Start(error)) << error;
    EXPECT_EQ(fs::read_symlink(path).string(), replacing.SlavePath());
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  std::ofstream(path) << "not a port";
  PtyBus refused(bus, path);
  EXPECT_FALSE(refused.Start(error));
  EXPECT_NE(error.find("not a link"), std::string::npos) << error;
  refused.Stop();
  EXPECT_TRUE(fs::is_regular_file(path));  // left alone
  EXPECT_FALSE(PtyBus(bus, ports.PathOf(5) + "/missing/COM5").Start(error));
}

TEST(SimProgram, UsageErrorsFirmwareAndACleanStopOnSignals) {
  fakes::PortFolder folder;
  const std::string scratch = fs::path(folder.PathOf(0)).parent_path().string();
  std::string output;
  EXPECT_EQ(RunProgram("--help", output), 0);
  EXPECT_EQ(RunProgram("--link /tmp/x --speaker 1:4:loud", output), 2);
  EXPECT_NE(output.find("loud"), std::string::npos) << output;
  EXPECT_EQ(RunProgram("", output), 2);
  EXPECT_EQ(RunProgram("make-firmware " + scratch + "/syx", output), 0) << output;
  EXPECT_TRUE(fs::exists(scratch + "/syx/" + SampleFirmwareFiles().front().name));
  std::ofstream(scratch + "/plain") << "x";
  EXPECT_NE(RunProgram("make-firmware " + scratch + "/plain/syx", output), 0);
  EXPECT_NE(output.find("plain"), std::string::npos) << output;

  const std::string link = folder.PathOf(3);
  for (int signal : {SIGTERM, SIGINT}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(FLASHDESK_SIM_PROGRAM, FLASHDESK_SIM_PROGRAM, "--demo", "--link", link.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(fs::symlink_status(link)) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::is_symlink(link));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "signal " << signal;
  }
}

}  // namespace
}  // namespace flashdesk::sim
