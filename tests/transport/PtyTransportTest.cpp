// What the engine's runs over real pseudo-terminals do not reach: the burst limit, a flush of
// a full input queue, and the refusal of a busy device (missing ones: the scans end to end).
#include <gtest/gtest.h>

#include "platform/SerialApi.h"
#include "testing/PseudoTerminal.h"
#include "transport/SerialPort.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PtyTransport, BurstsOfAtMost1002BytesFlushLeavesNothingAndABusyDeviceIsRefused) {
  fakes::PseudoTerminal pty;
  fakes::PortFolder ports;
  ports.Link(3, pty.SlavePath());
  platform::SerialApi& api = platform::SystemSerialApi();
  SerialPort port(api);
  const auto readBurst = [&port] {
    Bytes burst(SerialPort::kMaxBurst);
    burst.resize(static_cast<std::size_t>(port.ReadBurst(burst.data())));
    return burst;
  };
  ASSERT_TRUE(port.Open(3));

  Bytes sent(1500);
  for (std::size_t i = 0; i < sent.size(); ++i)
    sent[i] = static_cast<std::uint8_t>(i * 7 + 3);
  pty.Send(sent);
  ASSERT_TRUE(pty.WaitUntilQueued(1500));
  EXPECT_EQ(readBurst(), Bytes(sent.begin(), sent.begin() + 1002));
  EXPECT_EQ(readBurst(), Bytes(sent.begin() + 1002, sent.end()));
  pty.Send(sent);
  ASSERT_TRUE(pty.WaitUntilQueued(1500));
  port.FlushInput();
  EXPECT_EQ(pty.Queued(), 0);
  EXPECT_EQ(readBurst(), Bytes{});

  Comm second(api);
  EXPECT_FALSE(second.Open(3));
  EXPECT_EQ(second.Errors(), 0xFFFFFFFFu);
  ASSERT_TRUE(second.LastFailure());
  EXPECT_EQ(second.LastFailure()->problem, platform::SerialProblem::kInUse);
  port.Close();
  EXPECT_TRUE(second.Open(3));
}

}  // namespace
}  // namespace flashdesk
