#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>

#include "platform/SerialApi.h"
#include "testing/PseudoTerminal.h"
#include "transport/SerialPort.h"

namespace flashdesk {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;

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

  // Sends bytes and reads the next burst once all of them wait at the port.
  Bytes SendAndReadBurst(const Bytes& sent) {
    pty.Send(sent);
    EXPECT_TRUE(pty.WaitUntilQueued(static_cast<int>(sent.size())));
    return ReadBurst();
  }
  Bytes ReadBurst() {
    Bytes burst(SerialPort::kMaxBurst);
    burst.resize(static_cast<std::size_t>(port.ReadBurst(burst.data())));
    return burst;
  }

  fakes::PseudoTerminal pty;
  fakes::PortFolder ports;
  platform::SerialApi& api = platform::SystemSerialApi();
  SerialPort port{api};
};

TEST_F(PtyTransport, RawLineReadsBurstsOfAtMost1002BytesAndFlushInputLeavesNothing) {
  ASSERT_TRUE(port.Open(3));
  termios options{};  // the master reports the slave's settings: raw 19200 8N1
  ASSERT_EQ(::tcgetattr(pty.Master(), &options), 0);
  EXPECT_EQ(::cfgetospeed(&options), static_cast<speed_t>(B19200));
  EXPECT_EQ(options.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(options.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(options.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(options.c_oflag & OPOST, 0u);
  const Bytes sent = Pattern(1500);
  EXPECT_EQ(SendAndReadBurst(sent), Bytes(sent.begin(), sent.begin() + 1002));
  EXPECT_EQ(ReadBurst(), Bytes(sent.begin() + 1002, sent.end()));
  EXPECT_EQ(SendAndReadBurst(Pattern(10)), Pattern(10));  // a burst ends where the line falls
  EXPECT_EQ(SendAndReadBurst(Pattern(12)), Pattern(12));  // silent, with all of one reply
  pty.Send(Pattern(300));
  ASSERT_TRUE(pty.WaitUntilQueued(300));
  port.FlushInput();
  EXPECT_EQ(pty.Queued(), 0);
  EXPECT_EQ(ReadBurst(), Bytes{});
}

TEST_F(PtyTransport, OpenRefusesAMissingOrBusyDeviceAndReadsOnAHungUpLineStillWait) {
  EXPECT_FALSE(port.Open(7));
  EXPECT_EQ(port.Device().Errors(), kNoHandle);
  ASSERT_TRUE(port.Open(3));
  Comm second(api);
  EXPECT_FALSE(second.Open(3));
  EXPECT_EQ(second.Errors(), kNoHandle);
  EXPECT_TRUE(second.PortInUse());
  port.Close();
  ASSERT_TRUE(second.Open(3));
  pty.CloseMaster();
  std::uint8_t byte = 0;
  const auto start = Clock::now();
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(second.ReadByte(byte));
  }
  // A read that does not wait would make its callers spin.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(5 * 19));
}

}  // namespace
}  // namespace flashdesk
