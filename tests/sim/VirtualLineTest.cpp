// The virtual line under the real transport, and its clock. Engine tests run every scenario on
// this line; here are the cases of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "testing/VirtualLine.h"
#include "tests/sim/BusDriver.h"
#include "transport/SerialPort.h"
#include "transport/TickMs.h"

namespace flashdesk::sim {
namespace {

constexpr std::int16_t kBusPort = 3;

TEST(VirtualLine, MalformedPathsAreRefusedAndRepliesSentWhileClosedAreLost) {
  SpeakerBus bus;
  VirtualLine line(bus, kBusPort);
  for (const char* path :
       {"virtual:", "virtual:3x", "/dev/ttyUSB3", "virtual:-3", "virtual:40003"}) {
    EXPECT_EQ(line.Open(path), platform::kInvalidHandle) << path;
  }
  EXPECT_EQ(line.OpenAttempts(), (std::vector<std::int16_t>(5, -1)));
  SpeakerConfig signalling = testing::MakeSpeaker(6, 4);
  signalling.bootSignalPeriodMs = 300;
  bus.AddSpeaker(signalling);
  line.SleepMs(1000);  // three signals nobody hears
  SerialPort port(line);
  ASSERT_TRUE(port.Open(kBusPort));
  std::uint8_t burst[SerialPort::kMaxBurst];
  EXPECT_EQ(port.ReadBurst(burst), 0);
  line.SleepMs(200);  // the signal at 1200 waits in the driver
  ASSERT_EQ(port.ReadBurst(burst), 2);
  MessageLayer layer;
  layer.Append(burst, 2);
  EXPECT_TRUE(layer.TakeBootSignal());
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
    SendCommand(port, kIdentifyRequest, kEverySpeaker, frame);
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
