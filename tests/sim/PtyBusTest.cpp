// The simulator on a real pseudo-terminal, reached through the real serial code by the port
// template: what SendCommand builds is heard, and the replies pass through ReadBurst into the
// message layer. Real time: windows are generous, so a loaded machine does not fail them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "log/ErrorLog.h"
#include "platform/SerialApi.h"
#include "protocol/Commands.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "sim/posix/PtyBus.h"
#include "tests/sim/BusDriver.h"
#include "transport/SerialPort.h"

namespace flashdesk::sim {
namespace {

namespace fs = std::filesystem;
constexpr std::int16_t kPort = 3;

class PtyBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/flashdesk-pty-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder = pattern;
    ::setenv("FLASHDESK_PORT_TEMPLATE", (folder + "/COM%i").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("FLASHDESK_PORT_TEMPLATE");
    fs::remove_all(folder);
  }
  void Send(std::uint8_t command, std::uint8_t destination) {
    port.SendCommand(command, destination, frame);
  }
  // Reads bursts for windowMs, handing each non-empty one to take.
  template <typename Take>
  void Listen(int windowMs, Take take) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(windowMs);
    while (std::chrono::steady_clock::now() < end) {
      const std::int32_t got = port.ReadBurst(burst);
      if (got > 0) {
        layer.Append(burst, got);
        take();
      }
    }
  }

  std::string folder;
  SpeakerBus bus;
  SerialPort port{platform::SystemSerialApi()};
  MessageLayer layer;
  std::uint8_t frame[1030] = {};
  std::uint8_t burst[4098] = {};
};

// The bus under test, linked where the port template points for port 3.
class LinkedPtyBusTest : public PtyBusTest {
 protected:
  void SetUp() override {
    PtyBusTest::SetUp();
    linked = std::make_unique<PtyBus>(bus, folder + "/COM3");
  }
  void TearDown() override {
    linked->Stop();
    PtyBusTest::TearDown();
  }
  void StartAndOpen() {
    std::string error;
    ASSERT_TRUE(linked->Start(error)) << error;
    ASSERT_TRUE(port.Open(kPort));
  }
  std::unique_ptr<PtyBus> linked;
};

TEST_F(LinkedPtyBusTest, IdentificationRoundTripThroughTheRealSerialCode) {
  bus.AddSpeaker(testing::MakeSpeaker(1234567, 4));
  SpeakerConfig split = testing::MakeSpeaker(7654321, 12);
  split.splitReplies = true;
  bus.AddSpeaker(split);
  StartAndOpen();
  port.FlushInput();
  WriteIdentifyRequest(frame);
  Send(kIdentifyRequest, kEverySpeaker);
  std::vector<std::uint32_t> serials;
  Listen(600, [&] {
    SpeakerRecord record;
    while (layer.TakeIdentificationReply(record) == 1) {
      serials.push_back(record.SerialNumber());
      EXPECT_EQ(record.type, record.SerialNumber() == 1234567 ? 4 : 12);
    }
  });
  EXPECT_EQ(serials, (std::vector<std::uint32_t>{1234567, 7654321}));
  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, (std::vector<std::uint8_t>{0xF0, 0x7F, 0x66, 0x6E, 0xF7}));
}

TEST_F(LinkedPtyBusTest, ModeSwitchAndBootSignalOverThePty) {
  SpeakerConfig quiet = testing::MakeSpeaker(99, 5);
  quiet.mode = SpeakerMode::kApplication;
  quiet.silentInApplication = true;
  quiet.bootSignalPeriodMs = 150;
  bus.AddSpeaker(quiet);
  StartAndOpen();
  WriteModeCommand(frame, kBootMode);
  Send(kModeCommand, kEverySpeaker);
  bool heard = false;
  Listen(1000, [&] { heard = heard || layer.TakeBootSignal(); });
  EXPECT_TRUE(heard);
  EXPECT_EQ(bus.Speaker(0).mode, SpeakerMode::kBoot);

  WriteModeCommand(frame, kApplicationMode);
  Send(kModeCommand, kBootSignalDestination);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (bus.Speaker(0).mode != SpeakerMode::kApplication &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(bus.Speaker(0).mode, SpeakerMode::kApplication);
  EXPECT_EQ(bus.Frames().back().destination, kBootSignalDestination);
}

TEST_F(LinkedPtyBusTest, UploadIsRebuiltAndAnsweredWithThePausesKept) {
  bus.AddSpeaker(testing::MakeSpeaker(5, 4));
  bus.AddSpeaker(testing::MakeSpeaker(6, 4));
  StartAndOpen();
  const std::vector<std::uint8_t> image = BuildFirmwareImage(kKindApplication, 4, 2, 34, 200);
  const auto payloadLength = static_cast<std::int32_t>(image.size()) - kImageHeaderLength;
  ErrorLog log;
  auto takeStatus = [&] { layer.TakeStatusReplies(log); };

  port.FlushInput();
  WriteUploadStart(frame, image.data(), BlockSizeFor(image[0]), payloadLength);
  Send(kUploadStart, kEverySpeaker);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  Listen(100, takeStatus);
  std::uint8_t sequence = 0;
  for (std::int32_t at = kImageHeaderLength; at < static_cast<std::int32_t>(image.size());
       at += kFileBytesPerBlock) {
    const std::int32_t n =
        std::min<std::int32_t>(kFileBytesPerBlock, static_cast<std::int32_t>(image.size()) - at);
    WriteDataBlock(frame, sequence++, image.data() + at, n);
    Send(kDataBlock, kEverySpeaker);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::int32_t got = port.ReadBurst(burst);
    layer.Append(burst, got);
    takeStatus();
  }
  Listen(1500, takeStatus);

  std::vector<std::uint8_t> codes;
  for (const LogEvent& event : log.Events()) {
    codes.push_back(event.code);
  }
  EXPECT_EQ(codes, (std::vector<std::uint8_t>{kReplyReady, kReplyReady, kReplyDone, kReplyDone}));
  const std::vector<std::uint8_t> payload(image.begin() + kImageHeaderLength, image.end());
  for (int position : {0, 1}) {
    EXPECT_EQ(bus.Speaker(position).upload.payload, payload);
    EXPECT_EQ(bus.Speaker(position).statusCodes,
              (std::vector<std::uint8_t>{kReplyReady, kReplyDone}));
  }
  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_GE(frames[1].timeMs - frames[0].timeMs, 1000);
  for (std::size_t i = 2; i < frames.size(); ++i) {
    EXPECT_GE(frames[i].timeMs - frames[i - 1].timeMs, 100) << i;
    EXPECT_TRUE(frames[i].checksumOk) << i;
  }
}

TEST_F(LinkedPtyBusTest, VanishedSpeakerMakesThePortFailAndStopRemovesTheLink) {
  SpeakerConfig vanishing = testing::MakeSpeaker(8, 4);
  vanishing.vanishAfterBlocks = 1;
  bus.AddSpeaker(vanishing);
  StartAndOpen();
  const std::vector<std::uint8_t> image = BuildFirmwareImage(kKindBoot, kAnyModel, 1, 1, 100);
  WriteUploadStart(frame, image.data(), BlockSizeFor(image[0]), 102);
  Send(kUploadStart, kEverySpeaker);
  WriteDataBlock(frame, 0, image.data() + kImageHeaderLength, kFileBytesPerBlock);
  Send(kDataBlock, kEverySpeaker);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!linked->HasVanished() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(linked->HasVanished());
  // Reads fail at once now; the burst ends empty.
  port.ReadBurst(burst);
  EXPECT_EQ(port.ReadBurst(burst), 0);
  struct stat link {};
  EXPECT_EQ(::lstat(linked->LinkPath().c_str(), &link), 0);
  linked->Stop();
  EXPECT_NE(::lstat(linked->LinkPath().c_str(), &link), 0);
}

TEST_F(PtyBusTest, LinkReplacesOnlyAnOldLink) {
  const std::string path = folder + "/COM4";
  fs::create_symlink("/dev/null", path);
  {
    PtyBus bus4(bus, path);
    std::string error;
    ASSERT_TRUE(bus4.Start(error)) << error;
    EXPECT_EQ(fs::read_symlink(path).string(), bus4.SlavePath());
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));

  std::ofstream(path) << "not a port";
  PtyBus refused(bus, path);
  std::string error;
  EXPECT_FALSE(refused.Start(error));
  EXPECT_NE(error.find("not a link"), std::string::npos) << error;
  refused.Stop();
  EXPECT_TRUE(fs::is_regular_file(path));  // left alone

  PtyBus nowhere(bus, folder + "/missing/COM5");
  EXPECT_FALSE(nowhere.Start(error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace flashdesk::sim
