// The flashdesk-sim program as a user starts it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs the program with arguments; its exit status and what it printed.
struct ProgramRun {
  int status = -1;
  std::string output;
};

ProgramRun RunProgram(const std::string& arguments) {
  ProgramRun run;
  const std::string command = std::string(FLASHDESK_SIM_PROGRAM) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    run.output.append(buffer, got);
  }
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TEST(SimProgram, HelpAndUsageErrors) {
  const ProgramRun help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--speaker SERIAL:TYPE"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("make-firmware FOLDER"), std::string::npos);

  const ProgramRun wrong = RunProgram("--link /tmp/x --speaker 1:4:loud");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.output.find("loud"), std::string::npos) << wrong.output;
  EXPECT_EQ(RunProgram("").status, 2);
}

TEST(SimProgram, StopsCleanlyOnSignalsAndRemovesItsLink) {
  char pattern[] = "/tmp/flashdesk-simprog-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string link = folder + "/COM3";
  for (int signal : {SIGTERM, SIGINT}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(FLASHDESK_SIM_PROGRAM, FLASHDESK_SIM_PROGRAM, "--demo", "--link", link.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(fs::symlink_status(link)) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(fs::is_symlink(link));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "signal " << signal;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << signal;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "signal " << signal;
  }

  const ProgramRun made = RunProgram("make-firmware " + folder + "/syx");
  EXPECT_EQ(made.status, 0) << made.output;
  EXPECT_TRUE(fs::exists(folder + "/syx/TarnS1V1.23.syx"));
  EXPECT_TRUE(fs::exists(folder + "/syx/bootKelV1.05.syx"));
  fs::remove_all(folder);
}

}  // namespace
