#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "platform/SerialApi.h"
#include "tests/platform/TraceCapture.h"
#include "tests/transport/PseudoTerminal.h"
#include "transport/SerialPort.h"

namespace flashdesk {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;

std::int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

Bytes Pattern(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  return bytes;
}

// Port 3 of the folder is the slave of a pseudo-terminal.
class PtyTransport : public ::testing::Test {
 protected:
  PtyTransport() { ports.Link(3, pty.SlavePath()); }

  // Calls ReadBurst until something arrives or 3 s pass.
  Bytes NextBurst() {
    Bytes burst(SerialPort::kMaxBurst);
    const auto start = Clock::now();
    std::int32_t got = 0;
    while (got == 0 && MillisecondsSince(start) < 3000) {
      got = port.ReadBurst(burst.data());
    }
    burst.resize(static_cast<std::size_t>(got));
    return burst;
  }

  fakes::PseudoTerminal pty;
  fakes::PortFolder ports;
  platform::SerialApi& api = platform::SystemSerialApi();
  SerialPort port{api};
};

TEST_F(PtyTransport, RawLineReadsA1500ByteBurstAs1002Then498AndRepliesApartAsTwoBursts) {
  ASSERT_TRUE(port.Open(3));
  termios options{};  // the master reports the slave's settings: raw 19200 8N1
  ASSERT_EQ(::tcgetattr(pty.Master(), &options), 0);
  EXPECT_EQ(::cfgetospeed(&options), static_cast<speed_t>(B19200));
  EXPECT_EQ(options.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(options.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(options.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(options.c_oflag & OPOST, 0u);
  const Bytes sent = Pattern(1500);
  pty.Send(sent);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // all of it in the slave's queue
  EXPECT_EQ(NextBurst(), Bytes(sent.begin(), sent.begin() + 1002));
  EXPECT_EQ(NextBurst(), Bytes(sent.begin() + 1002, sent.end()));
  std::thread speaker([&] {
    pty.Send(Pattern(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    pty.Send(Pattern(12));
  });
  const Bytes first = NextBurst();
  const Bytes second = NextBurst();
  speaker.join();
  EXPECT_EQ(first.size(), 10u);
  EXPECT_EQ(second.size(), 12u);
}

TEST_F(PtyTransport, FlushInputReadsUntilTheLineFallsSilent) {
  ASSERT_TRUE(port.Open(3));
  std::int64_t longestGapMs = 0;
  Clock::time_point lastByteAt;
  std::thread chatter([&] {
    const auto until = Clock::now() + std::chrono::milliseconds(400);
    auto previous = Clock::now();
    while (Clock::now() < until) {
      pty.Send({0x55});
      longestGapMs = std::max<std::int64_t>(longestGapMs, MillisecondsSince(previous));
      previous = Clock::now();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    lastByteAt = previous;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  port.FlushInput();
  const auto returnedAt = Clock::now();
  chatter.join();
  if (longestGapMs > 15) {
    GTEST_SKIP() << "the machine stalled the talking thread for " << longestGapMs << " ms";
  }
  EXPECT_GE(returnedAt, lastByteAt);
  std::uint8_t burst[SerialPort::kMaxBurst];
  EXPECT_EQ(port.ReadBurst(burst), 0);  // nothing left behind
}

TEST_F(PtyTransport, MissingDeviceFailsALaterGoodOpenWorksAndASecondOpenIsRefused) {
  fakes::TraceCapture trace;
  EXPECT_FALSE(port.Open(7));
  EXPECT_EQ(port.Device().Errors(), kNoHandle);
  EXPECT_THAT(trace.Lines(), Contains(HasSubstr(ports.PathOf(7) + ": No such file or directory")));
  ASSERT_TRUE(port.Open(3));
  Comm second(api);
  EXPECT_FALSE(second.Open(3));
  EXPECT_EQ(second.Errors(), kNoHandle);
  EXPECT_THAT(trace.Lines(), Contains(HasSubstr("Port in use by another program")));
  port.Close();
  EXPECT_TRUE(second.Open(3));
}

TEST_F(PtyTransport, ReadsOnAClosedPortReturnAtOnceButAHungUpLineStillWaits) {
  ASSERT_TRUE(port.Open(3));
  port.Close();
  std::uint8_t burst[SerialPort::kMaxBurst];
  auto start = Clock::now();
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(port.ReadBurst(burst), 0);
  }
  EXPECT_LT(MillisecondsSince(start), 500);  // one real time-out each would take 2 s
  Comm hungUp(api);
  ASSERT_TRUE(hungUp.Open(3));
  pty.CloseMaster();
  start = Clock::now();
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(hungUp.ReadByte(burst[0]));
  }
  EXPECT_GE(MillisecondsSince(start), 5 * 19);  // a read that does not wait makes callers spin
}

}  // namespace
}  // namespace flashdesk
