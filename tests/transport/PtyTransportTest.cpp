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

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;

std::int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  return bytes;
}

// Port 3 of the folder is the slave of a pseudo-terminal.
class PtyTransport : public ::testing::Test {
 protected:
  PtyTransport() { ports.Link(3, pty.SlavePath()); }

  // Calls ReadBurst until something arrives or patienceMs pass.
  std::vector<std::uint8_t> NextBurst(SerialPort& port, int patienceMs = 3000) {
    std::vector<std::uint8_t> burst(SerialPort::kMaxBurst);
    const auto start = Clock::now();
    std::int32_t got = 0;
    while (got == 0 && MillisecondsSince(start) < patienceMs) {
      got = port.ReadBurst(burst.data());
    }
    burst.resize(static_cast<std::size_t>(got));
    return burst;
  }

  fakes::PseudoTerminal pty;
  fakes::PortFolder ports;
  platform::SerialApi& api = platform::SystemSerialApi();
};

TEST_F(PtyTransport, OpenPutsTheLineInRaw19200EightNoneOne) {
  Comm comm(api);
  ASSERT_TRUE(comm.Open(3));

  termios options{};  // the master reports the slave's settings
  ASSERT_EQ(::tcgetattr(pty.Master(), &options), 0);
  EXPECT_EQ(::cfgetospeed(&options), static_cast<speed_t>(B19200));
  EXPECT_EQ(options.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(options.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(options.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(options.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(options.c_oflag & OPOST, 0u);
}

TEST_F(PtyTransport, BurstOf1500BytesReadsAs1002Then498) {
  SerialPort port(api);
  ASSERT_TRUE(port.Open(3));
  const auto sent = Pattern(1500);
  pty.Send(sent);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // all of it in the slave's queue

  const auto first = NextBurst(port);
  const auto second = NextBurst(port);

  ASSERT_EQ(first.size(), 1002u);
  ASSERT_EQ(second.size(), 498u);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), sent.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), sent.begin() + 1002));
}

TEST_F(PtyTransport, RepliesSeparatedBy80MsComeBackAsTwoBursts) {
  SerialPort port(api);
  ASSERT_TRUE(port.Open(3));
  std::thread speaker([&] {
    pty.Send(Pattern(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    pty.Send(Pattern(12));
  });

  const auto first = NextBurst(port);
  const auto second = NextBurst(port);
  speaker.join();

  EXPECT_EQ(first.size(), 10u);
  EXPECT_EQ(second.size(), 12u);
}

TEST_F(PtyTransport, SilentLineReadTimesOutAfterAbout20Ms) {
  Comm comm(api);
  ASSERT_TRUE(comm.Open(3));
  std::uint8_t byte = 0;

  const auto start = Clock::now();
  EXPECT_FALSE(comm.ReadByte(byte));
  const auto elapsed = MillisecondsSince(start);

  EXPECT_GE(elapsed, 19);  // a read that does not wait would make every caller spin
  EXPECT_LT(elapsed, 1000);
}

TEST_F(PtyTransport, FlushInputReadsUntilTheLineFallsSilent) {
  SerialPort port(api);
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

TEST_F(PtyTransport, MissingDeviceFailsAndALaterGoodOpenWorks) {
  fakes::TraceCapture trace;
  SerialPort port(api);

  EXPECT_FALSE(port.Open(7));
  EXPECT_EQ(port.Device().Errors(), kNoHandle);
  EXPECT_FALSE(port.Device().IsOpen());
  EXPECT_THAT(trace.Joined(), HasSubstr(ports.PathOf(7)));
  EXPECT_THAT(trace.Joined(), HasSubstr("No such file or directory"));

  EXPECT_TRUE(port.Open(3));
  EXPECT_TRUE(port.Device().IsOpen());
}

TEST_F(PtyTransport, SecondOpenOfTheSamePortIsRefusedUntilTheFirstCloses) {
  fakes::TraceCapture trace;
  Comm first(api);
  Comm second(api);
  ASSERT_TRUE(first.Open(3));

  EXPECT_FALSE(second.Open(3));
  EXPECT_EQ(second.Errors(), kNoHandle);
  EXPECT_THAT(trace.Joined(), HasSubstr("Port in use by another program"));

  first.Close();
  EXPECT_TRUE(second.Open(3));
}

TEST_F(PtyTransport, ReadsOnAClosedPortReturnAtOnce) {
  SerialPort port(api);
  ASSERT_TRUE(port.Open(3));
  port.Close();
  std::uint8_t burst[SerialPort::kMaxBurst];

  const auto start = Clock::now();
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(port.ReadBurst(burst), 0);
  }

  EXPECT_LT(MillisecondsSince(start), 500);  // one real time-out each would take 2 s
}

TEST_F(PtyTransport, WrittenFramesArriveWhole) {
  SerialPort port(api);
  ASSERT_TRUE(port.Open(3));
  const auto frame = Pattern(141);

  port.Write(frame.data(), 141);
  port.Write(frame.data(), 141);

  auto expected = frame;
  expected.insert(expected.end(), frame.begin(), frame.end());
  EXPECT_EQ(pty.Receive(200), expected);
  EXPECT_EQ(port.Device().Errors(), 0u);
}

TEST_F(PtyTransport, HungUpLineStillWaitsOutTheTimeOut) {
  Comm comm(api);
  ASSERT_TRUE(comm.Open(3));
  pty.CloseMaster();
  std::uint8_t byte = 0;

  const auto start = Clock::now();
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(comm.ReadByte(byte));
  }

  EXPECT_GE(MillisecondsSince(start), 5 * 19);
}

TEST_F(PtyTransport, ReopeningAfterCloseWorksAgain) {
  Comm comm(api);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(comm.Open(3));
    pty.Send({0x42});
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    bool got = false;
    while (!got && MillisecondsSince(start) < 2000) {
      got = comm.ReadByte(byte);
    }
    EXPECT_TRUE(got);
    EXPECT_EQ(byte, 0x42);
    EXPECT_TRUE(comm.Close());
  }
}

}  // namespace
}  // namespace flashdesk
