// The simulator on a real pseudo-terminal, reached through the real serial code by the port
// template: what SendCommand builds is heard, and the replies pass through ReadBurst into the
// message layer. Real time: windows are generous, so a loaded machine does not fail them.
#include <gtest/gtest.h>

#include <chrono>
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
#include "tests/transport/PseudoTerminal.h"
#include "transport/SerialPort.h"

namespace flashdesk::sim {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The bus under test, linked where the port template points for port 3.
class PtyBusTest : public ::testing::Test {
 protected:
  void TearDown() override { linked.Stop(); }
  void StartAndOpen() {
    std::string error;
    ASSERT_TRUE(linked.Start(error)) << error;
    ASSERT_TRUE(port.Open(3));
  }
  void Send(std::uint8_t command) { port.SendCommand(command, kEverySpeaker, frame); }
  // Reads bursts for windowMs, handing each non-empty one to the message layer and take.
  template <typename Take>
  void Listen(int windowMs, Take take) {
    const auto end = Clock::now() + std::chrono::milliseconds(windowMs);
    while (Clock::now() < end) {
      const std::int32_t got = port.ReadBurst(burst);
      if (got > 0) {
        layer.Append(burst, got);
        take();
      }
    }
  }
  fakes::PortFolder ports;
  SpeakerBus bus;
  PtyBus linked{bus, ports.PathOf(3)};
  SerialPort port{platform::SystemSerialApi()};
  MessageLayer layer;
  std::uint8_t frame[1030] = {};
  std::uint8_t burst[SerialPort::kMaxBurst] = {};
};

TEST_F(PtyBusTest, IdentificationRoundTripThroughTheRealSerialCode) {
  bus.AddSpeaker(testing::MakeSpeaker(1234567, 4));
  SpeakerConfig split = testing::MakeSpeaker(7654321, 12);
  split.splitReplies = true;
  bus.AddSpeaker(split);
  StartAndOpen();
  port.FlushInput();
  WriteIdentifyRequest(frame);
  Send(kIdentifyRequest);
  std::vector<std::uint32_t> serials;
  Listen(600, [&] {
    SpeakerRecord record;
    while (layer.TakeIdentificationReply(record) == 1) {
      serials.push_back(record.SerialNumber());
      EXPECT_EQ(record.type, record.SerialNumber() == 1234567 ? 4 : 12);
    }
  });
  EXPECT_EQ(serials, (std::vector<std::uint32_t>{1234567, 7654321}));
  EXPECT_EQ(bus.Frames().size(), 1u);
}

TEST_F(PtyBusTest, UploadIsRebuiltAndAnsweredWithThePausesKept) {
  bus.AddSpeaker(testing::MakeSpeaker(5, 4));
  bus.AddSpeaker(testing::MakeSpeaker(6, 4));
  StartAndOpen();
  const std::vector<std::uint8_t> image = BuildFirmwareImage(kKindApplication, 4, 2, 34, 200);
  const auto size = static_cast<std::int32_t>(image.size());
  ErrorLog log;
  auto takeStatus = [&] { layer.TakeStatusReplies(log); };

  port.FlushInput();
  WriteUploadStart(frame, image.data(), BlockSizeFor(image[0]), size - kImageHeaderLength);
  Send(kUploadStart);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  Listen(100, takeStatus);
  std::uint8_t sequence = 0;
  for (std::int32_t at = kImageHeaderLength; at < size; at += kFileBytesPerBlock) {
    WriteDataBlock(frame, sequence++, image.data() + at, std::min(kFileBytesPerBlock, size - at));
    Send(kDataBlock);
    Listen(100, takeStatus);
  }
  Listen(1500, takeStatus);

  EXPECT_EQ(testing::Codes(log),
            (std::vector<std::uint8_t>{kReplyReady, kReplyReady, kReplyDone, kReplyDone}));
  const std::vector<std::uint8_t> payload(image.begin() + kImageHeaderLength, image.end());
  for (int position : {0, 1}) {
    EXPECT_EQ(bus.Speaker(position).upload.payload, payload);
  }
  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 5u);
  // The receiving thread may note a frame late under load: the margins allow for that while
  // still telling a kept pause from none.
  EXPECT_GE(frames[1].timeMs - frames[0].timeMs, 950);
  for (std::size_t i = 2; i < frames.size(); ++i) {
    EXPECT_GE(frames[i].timeMs - frames[i - 1].timeMs, 80) << i;
    EXPECT_TRUE(frames[i].checksumOk) << i;
  }
}

TEST_F(PtyBusTest, VanishedSpeakerMakesThePortFailAndStopRemovesTheLink) {
  SpeakerConfig vanishing = testing::MakeSpeaker(8, 4);
  vanishing.vanishAfterBlocks = 1;
  bus.AddSpeaker(vanishing);
  StartAndOpen();
  const std::vector<std::uint8_t> image = BuildFirmwareImage(kKindBoot, kAnyModel, 1, 1, 100);
  WriteUploadStart(frame, image.data(), BlockSizeFor(image[0]), 102);
  Send(kUploadStart);
  WriteDataBlock(frame, 0, image.data() + kImageHeaderLength, kFileBytesPerBlock);
  Send(kDataBlock);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!linked.HasVanished() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(linked.HasVanished());
  // Reads fail at once now; the burst ends empty.
  port.ReadBurst(burst);
  EXPECT_EQ(port.ReadBurst(burst), 0);
  EXPECT_TRUE(fs::is_symlink(linked.LinkPath()));
  linked.Stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(linked.LinkPath())));
}

TEST_F(PtyBusTest, LinkReplacesOnlyAnOldLink) {
  const std::string path = ports.PathOf(4);
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

  PtyBus nowhere(bus, ports.Folder() + "/missing/COM5");
  EXPECT_FALSE(nowhere.Start(error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace flashdesk::sim
