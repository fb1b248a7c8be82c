// The simulator on a real pseudo-terminal, reached through the real serial code by the port
// template: what SendCommand builds is heard, and the replies pass through ReadBurst into the
// message layer; and the flashdesk-sim program as a user starts it. Real time: every wait ends
// on what it waits for, with a generous limit, so a loaded machine does not fail it.
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

#include "platform/SerialApi.h"
#include "sim/posix/PtyBus.h"
#include "testing/PseudoTerminal.h"
#include "tests/sim/BusDriver.h"
#include "transport/SerialPort.h"

namespace flashdesk::sim {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs the program with arguments; its exit status, and what it printed in output.
int RunProgram(const std::string& arguments, std::string& output) {
  const std::string command = std::string(FLASHDESK_SIM_PROGRAM) + " " + arguments + " 2>&1";
  output.clear();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return -1;
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    output.append(buffer, got);
  }
  const int raw = ::pclose(pipe);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

constexpr auto kPatience = std::chrono::seconds(10);

// The bus under test, linked where the port template points for port 3.
class PtyBusTest : public ::testing::Test {
 protected:
  void TearDown() override { linked.Stop(); }
  void StartAndOpen() {
    std::string error;
    ASSERT_TRUE(linked.Start(error)) << error;
    ASSERT_TRUE(port.Open(3));
  }
  void Send(std::uint8_t command) { SendCommand(port, command, kEverySpeaker, frame); }
  // Reads bursts into the message layer until done() holds; false after kPatience.
  template <typename Done>
  bool ListenUntil(Done done) {
    for (const auto end = Clock::now() + kPatience; Clock::now() < end;) {
      layer.Append(burst, port.ReadBurst(burst));
      if (done())
        return true;
    }
    return false;
  }
  fakes::PortFolder ports;
  SpeakerBus bus;
  PtyBus linked{bus, ports.PathOf(3)};
  SerialPort port{platform::SystemSerialApi()};
  MessageLayer layer;
  std::uint8_t frame[1030] = {};
  std::uint8_t burst[SerialPort::kMaxBurst] = {};
};

TEST_F(PtyBusTest, IdentificationAndUploadRoundTripWithThePauseKept) {
  bus.AddSpeaker(testing::MakeSpeaker(1234567, 4));
  SpeakerConfig split = testing::MakeSpeaker(7654321, 12);
  split.splitReplies = true;
  bus.AddSpeaker(split);
  StartAndOpen();
  port.FlushInput();
  WriteIdentifyRequest(frame);
  Send(kIdentifyRequest);
  testing::Serials serials;
  EXPECT_TRUE(ListenUntil([&] {
    for (SpeakerRecord record; layer.TakeIdentificationReply(record) == 1;) {
      serials.push_back(record.SerialNumber());
    }
    return serials.size() >= 2;
  }));
  EXPECT_EQ(serials, (testing::Serials{1234567, 7654321}));
  const testing::Bytes image = BuildFirmwareImage(kKindBoot, kAnyModel, 2, 34, 200);
  const auto size = static_cast<std::int32_t>(image.size());
  WriteUploadStart(frame, image.data(), BlockSizeFor(image[0]), size - kImageHeaderLength);
  Send(kUploadStart);
  // The bus notes each frame when it arrives: the pause counts from there.
  ASSERT_TRUE(ListenUntil([&] { return bus.Frames().size() == 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  std::uint8_t sequence = 0;
  for (std::int32_t at = kImageHeaderLength; at < size; at += kFileBytesPerBlock) {
    WriteDataBlock(frame, sequence++, image.data() + at, std::min(kFileBytesPerBlock, size - at));
    Send(kDataBlock);
  }
  ErrorLog log;
  EXPECT_TRUE(ListenUntil([&] {
    layer.TakeStatusReplies(log);
    return log.Events().size() >= 4;
  }));
  EXPECT_EQ(testing::Codes(log),
            (testing::CodeList{kReplyReady, kReplyReady, kReplyDone, kReplyDone}));
  EXPECT_EQ(bus.Speaker(1).upload.payload,
            testing::Bytes(image.begin() + kImageHeaderLength, image.end()));
  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_GE(frames[2].timeMs - frames[1].timeMs, 1000);
}

TEST_F(PtyBusTest, VanishedSpeakerMakesThePortFailAndStopRemovesTheLink) {
  SpeakerConfig vanishing = testing::MakeSpeaker(8, 4);
  vanishing.vanishAfterBlocks = 1;
  bus.AddSpeaker(vanishing);
  StartAndOpen();
  const testing::Bytes image = BuildFirmwareImage(kKindBoot, kAnyModel, 1, 1, 100);
  WriteUploadStart(frame, image.data(), BlockSizeFor(image[0]), 102);
  Send(kUploadStart);
  WriteDataBlock(frame, 0, image.data() + kImageHeaderLength, kFileBytesPerBlock);
  Send(kDataBlock);
  ASSERT_TRUE(ListenUntil([&] { return linked.HasVanished(); }));
  port.ReadBurst(burst);
  EXPECT_EQ(port.ReadBurst(burst), 0);  // reads fail at once now; the burst ends empty
  EXPECT_TRUE(fs::is_symlink(linked.LinkPath()));
  linked.Stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(linked.LinkPath())));
}

TEST_F(PtyBusTest, LinkReplacesOnlyAnOldLink) {
  const std::string path = ports.PathOf(4);
  fs::create_symlink("/dev/null", path);
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

TEST(SimProgram, HelpUsageErrorsFirmwareAndACleanStopOnSignals) {
  std::string output;
  EXPECT_EQ(RunProgram("--help", output), 0);
  EXPECT_EQ(RunProgram("--link /tmp/x --speaker 1:4:loud", output), 2);
  EXPECT_NE(output.find("loud"), std::string::npos) << output;
  EXPECT_EQ(RunProgram("", output), 2);
  char pattern[] = "/tmp/flashdesk-simprog-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  EXPECT_EQ(RunProgram("make-firmware " + folder + "/syx", output), 0) << output;
  EXPECT_TRUE(fs::exists(folder + "/syx/" + SampleFirmwareFiles().front().name));
  std::ofstream(folder + "/plain") << "x";
  EXPECT_NE(RunProgram("make-firmware " + folder + "/plain/syx", output), 0);
  EXPECT_NE(output.find("plain"), std::string::npos) << output;
  const std::string link = folder + "/COM3";
  for (int signal : {SIGTERM, SIGINT}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(FLASHDESK_SIM_PROGRAM, FLASHDESK_SIM_PROGRAM, "--demo", "--link", link.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = Clock::now() + kPatience;
    while (!fs::exists(fs::symlink_status(link)) && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(fs::is_symlink(link));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "signal " << signal;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace flashdesk::sim
