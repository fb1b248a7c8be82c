// The virtual line under the real transport: what SendCommand builds reaches the speakers, and
// their replies come back through ReadBurst into the message layer, in virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "sim/VirtualLine.h"
#include "tests/sim/BusDriver.h"
#include "transport/SerialPort.h"
#include "transport/TickMs.h"

namespace flashdesk::sim {
namespace {

constexpr std::int16_t kBusPort = 3;

class VirtualLineTest : public ::testing::Test {
 protected:
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
  WriteIdentifyRequest(frame);
  port.SendCommand(kIdentifyRequest, kEverySpeaker, frame);
  // Replies at 15 and 45 ms: two bursts of one reply each, each ended by 20 ms of silence.
  std::vector<testing::Arrival> bursts;
  for (int i = 0; i < 2; ++i) {
    const std::int32_t got = Burst();
    ASSERT_EQ(got, 12 + 3 * 3);
    bursts.push_back({line.NowMs() - sent, testing::Bytes(burst, burst + got)});
  }
  EXPECT_EQ(testing::SerialsIn(bursts), (testing::Serials{1234567, 7654321}));
  EXPECT_EQ(bursts[1].timeMs, 45 + 20);
  EXPECT_EQ(Burst(), 0);
  EXPECT_EQ(line.NowMs() - sent, 45 + 40);
  ASSERT_EQ(bus.Frames().size(), 1u);
  EXPECT_TRUE(bus.Frames()[0].checksumOk);
  EXPECT_EQ(bus.Frames()[0].timeMs, sent);
}

TEST_F(VirtualLineTest, MalformedPathsAreRefusedAndRepliesSentWhileClosedAreLost) {
  for (const char* path :
       {"virtual:", "virtual:3x", "/dev/ttyUSB3", "virtual:-3", "virtual:40003"}) {
    EXPECT_EQ(line.Open(path), platform::kInvalidHandle) << path;
  }
  EXPECT_EQ(line.OpenAttempts(), (std::vector<std::int16_t>(5, -1)));

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
