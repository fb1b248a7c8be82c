// The virtual line under the real transport: what SendCommand builds reaches the speakers, and
// their replies come back through ReadBurst into the message layer, in virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"
#include "tests/sim/BusDriver.h"
#include "transport/SerialPort.h"
#include "transport/TickMs.h"

namespace flashdesk::sim {
namespace {

constexpr std::int16_t kBusPort = 3;

class VirtualLineTest : public ::testing::Test {
 protected:
  void Identify() {
    WriteIdentifyRequest(frame);
    port.SendCommand(kIdentifyRequest, kEverySpeaker, frame);
  }
  std::int32_t Burst() { return port.ReadBurst(burst); }

  SpeakerBus bus;
  VirtualLine line{bus, kBusPort};
  SerialPort port{line};
  std::uint8_t frame[1030] = {};
  std::uint8_t burst[4098] = {};
  MessageLayer layer;
};

TEST_F(VirtualLineTest, CommandsReachTheSpeakersAndRepliesComeBackAsBursts) {
  bus.AddSpeaker(testing::MakeSpeaker(1234567, 4));
  bus.AddSpeaker(testing::MakeSpeaker(7654321, 5));
  ASSERT_TRUE(port.Open(kBusPort));
  EXPECT_EQ(line.LastLineSettings().baudRate, 19200u);
  const std::int64_t sent = line.NowMs();
  Identify();

  // Replies at 15 and 45 ms: two bursts, each ended by 20 ms of silence.
  std::vector<std::uint32_t> serials;
  for (int i = 0; i < 2; ++i) {
    const std::int32_t got = Burst();
    ASSERT_EQ(got, 12 + 3 * 3);
    layer.Append(burst, got);
    SpeakerRecord record;
    ASSERT_EQ(layer.TakeIdentificationReply(record), 1);
    serials.push_back(record.SerialNumber());
  }
  EXPECT_EQ(serials, (std::vector<std::uint32_t>{1234567, 7654321}));
  EXPECT_EQ(line.NowMs() - sent, 45 + 20);
  EXPECT_EQ(Burst(), 0);
  EXPECT_EQ(line.NowMs() - sent, 45 + 40);

  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].checksumOk);
  EXPECT_EQ(frames[0].timeMs, sent);
}

TEST_F(VirtualLineTest, OnlyConfiguredPortsOpenAndEveryAttemptIsRecorded) {
  line.AddSilentPort(5);
  const std::pair<std::int16_t, bool> attempts[] = {
      {0, false}, {3, true}, {5, true}, {7, false}, {3, true}};
  for (const auto& [number, opens] : attempts) {
    EXPECT_EQ(port.Open(number), opens) << number;
  }
  EXPECT_EQ(line.OpenAttempts(), (std::vector<std::int16_t>{0, 3, 5, 7, 3}));
  EXPECT_EQ(line.OpenCount(3), 2);
  EXPECT_EQ(line.OpenCount(5), 1);
  EXPECT_EQ(line.OpenCount(7), 0);
  EXPECT_EQ(line.PortPath(12), "virtual:12");
  for (const char* path : {"virtual:", "virtual:3x", "/dev/ttyUSB3", "virtual:-3"}) {
    EXPECT_EQ(line.Open(path), platform::kInvalidHandle) << path;
  }
  EXPECT_EQ(line.OpenAttempts().back(), -1);
}

TEST_F(VirtualLineTest, SilentPortsAndDeadLinesStillLetTimePass) {
  line.AddSilentPort(4);
  ASSERT_TRUE(port.Open(4));
  const std::int64_t before = line.NowMs();
  Identify();
  EXPECT_EQ(Burst(), 0);
  EXPECT_EQ(line.NowMs() - before, 20);
  EXPECT_TRUE(bus.Frames().empty());

  bus.AddSpeaker(testing::MakeSpeaker(5, 4));
  ASSERT_TRUE(port.Open(kBusPort));
  bus.Vanish();
  const std::int64_t dead = line.NowMs();
  Identify();
  EXPECT_EQ(Burst(), 0);
  EXPECT_EQ(line.NowMs() - dead, 20);
  EXPECT_TRUE(bus.Frames().empty());
}

TEST_F(VirtualLineTest, RepliesSentWhileThePortWasClosedAreLost) {
  SpeakerConfig signalling = testing::MakeSpeaker(6, 4);
  signalling.bootSignalPeriodMs = 300;
  bus.AddSpeaker(signalling);
  line.SleepMs(1000);  // three signals nobody hears
  ASSERT_TRUE(port.Open(kBusPort));
  EXPECT_EQ(Burst(), 0);
  line.SleepMs(200);  // the signal at 1200 waits in the driver
  EXPECT_EQ(Burst(), 2);
  EXPECT_TRUE((layer.Append(burst, 2), layer.TakeBootSignal()));
}

TEST_F(VirtualLineTest, TransmissionTimeIsChargedOnlyWhenSwitchedOn) {
  ASSERT_TRUE(port.Open(kBusPort));
  const std::int64_t start = line.NowMs();
  Identify();
  EXPECT_EQ(line.NowMs(), start);
  line.SetTransmissionTime(true);
  std::uint8_t bytes[kFileBytesPerBlock] = {};
  WriteDataBlock(frame, 0, bytes, kFileBytesPerBlock);
  port.SendCommand(kDataBlock, kEverySpeaker, frame);
  // 141 bytes of 10 bits at 19200 baud: 73.4 ms.
  EXPECT_EQ(line.NowMs() - start, 73);
}

TEST(VirtualClock, TicksWrapLikeTheRealClock) {
  SpeakerBus bus;
  VirtualLine line(bus, kBusPort, std::numeric_limits<std::int32_t>::max() - 5);
  const std::int32_t start = line.TickMs();
  line.SleepMs(2000);
  EXPECT_LT(line.TickMs(), start);  // wrapped
  EXPECT_EQ(ElapsedMs(start, line.TickMs()), 2000);
  line.SleepMs(-5);
  EXPECT_EQ(ElapsedMs(start, line.TickMs()), 2000);
}

TEST(VirtualClock, AnotherThreadReadsTheClockWhileTheLineIsInUse) {
  SpeakerBus bus;
  bus.AddSpeaker(testing::MakeSpeaker(77, 4));
  VirtualLine line(bus, kBusPort);
  std::atomic<bool> done{false};
  std::atomic<std::int32_t> steps{0};
  std::thread reader([&] {
    for (std::int32_t last = line.TickMs(); !done.load(); ++steps) {
      const std::int32_t now = line.TickMs();
      EXPECT_GE(ElapsedMs(last, now), 0);
      last = now;
    }
  });
  while (steps.load() == 0) {
    std::this_thread::yield();
  }
  SerialPort port(line);
  ASSERT_TRUE(port.Open(kBusPort));
  std::uint8_t frame[16];
  std::uint8_t burst[SerialPort::kMaxBurst];
  for (int i = 0; i < 200; ++i) {
    WriteIdentifyRequest(frame);
    port.SendCommand(kIdentifyRequest, kEverySpeaker, frame);
    while (port.ReadBurst(burst) > 0) {
    }
    line.SleepMs(10);
  }
  done = true;
  reader.join();
  EXPECT_EQ(bus.Frames().size(), 200u);
  EXPECT_GT(steps, 0);
}

}  // namespace
}  // namespace flashdesk::sim
