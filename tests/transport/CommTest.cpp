#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "tests/transport/RecordingSerialApi.h"
#include "transport/Comm.h"

namespace flashdesk {
namespace {

using ::testing::ElementsAre;
using Device = fakes::RecordingSerialApi;

std::uint8_t byte = 0;  // what the scenes read into
const std::uint8_t kFrame[] = {0xF0, 0x01, 0xF7, 0x05};

constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;
const std::string kConfigure =
    "SetupQueues 1 1; GetTimeouts; SetTimeouts 5 10 10 2 10; GetLineSettings; SetLineSettings";
const std::string kRaise = "; SetDtr 1; SetEventMask 65535";
const std::string kClose = "SetDtr 0; Purge 15; Close";

std::string Repeated(const std::string& call, int times) {
  std::string all = call;
  while (--times > 0)
    all += "; " + call;
  return all;
}

auto Fields(const platform::LineSettings& s) {
  return std::make_tuple(s.baudRate, s.byteSize, s.parity, s.stopBits, s.binary, s.parityCheck,
                         s.outxCtsFlow, s.outxDsrFlow, s.dtrControl, s.dsrSensitivity, s.rtsControl,
                         s.outX, s.inX, s.xonChar, s.xoffChar, s.xonLim, s.xoffLim);
}

struct SteppingClock : platform::Clock {  // moves 100 ms each time it is read
  std::int32_t now = 0;
  std::int32_t TickMs() override { return now += 100; }
  void SleepMs(std::int32_t milliseconds) override { now += milliseconds; }
};

struct CommCase {
  const char* name;
  bool openFirst;  // port 3 is open, and the calls that opened it forgotten, before the scene
  std::string calls;
  std::uint32_t errors;
  bool openAfter;
  std::function<void(Device& device, Comm& comm)> scene;
};

const CommCase kCases[] = {
    {"refused configuration ends closed with DTR lowered", false,
     "Open COM3; " + kConfigure + "; " + kClose, 0, false,
     [](Device& device, Comm& comm) {
       device.failingCalls = {"SetLineSettings"};
       EXPECT_FALSE(comm.Open(3));
     }},
    {"failed close replaces errors with the last error", true, "Read 1; ClearErrors; " + kClose, 5,
     false,
     [](Device& device, Comm& comm) {
       device.errorFlags = {0x10};
       comm.ReadByte(byte);
       EXPECT_EQ(comm.Errors(), 0x10u);
       device.failingCalls = {"Close"};
       device.lastError = 5;
       EXPECT_TRUE(comm.Close());
     }},
    {"refused queue sizes do not fail the open, every line setting the device had is replaced; "
     "destruction closes an open port",
     false, "Open COM2; " + kConfigure + kRaise + "; " + kClose, 0, false,
     [](Device& device, Comm&) {
       device.failingCalls = {"SetupQueues"};
       device.storedSettings = {300,  7, 2,    2,    false, false, true, true, 1,
                                true, 1, true, true, 'x',   'x',   7,    7};
       Comm scoped(device);
       EXPECT_TRUE(scoped.Open(2));
       const platform::LineSettings bus = {19200, 8, 0,     0,     true, true, false, false, 0,
                                           false, 0, false, false, 0x11, 0x13, 100,   100};
       EXPECT_EQ(Fields(device.storedSettings), Fields(bus));
     }},
    {"failed reads and a failing read call OR their flags into errors until cleared", true,
     "Read 1; Read 1; ClearErrors; Read 1; ClearErrors; Read 1; ClearErrors", 0x4, true,
     [](Device& device, Comm& comm) {
       device.incoming = {0x41, Device::kSilence, Device::kSilence, 0x42};
       device.errorFlags = {0x1, 0x8, 0x4};
       EXPECT_TRUE(comm.ReadByte(byte));
       EXPECT_EQ(byte, 0x41);
       EXPECT_FALSE(comm.ReadByte(byte));
       EXPECT_FALSE(comm.ReadByte(byte));
       EXPECT_EQ(comm.Errors(), 0x9u);
       comm.ClearErrors();
       device.failingCalls = {"Read"};
       EXPECT_FALSE(comm.ReadByte(byte));
     }},
    {"write waits until the output queue reads zero or its query fails", true,
     "ClearErrors queue; ClearErrors queue; ClearErrors queue; Write 3; ClearErrors queue; Write 3",
     0x104, true,
     [](Device& device, Comm& comm) {
       device.queueCounts = {141, 60, 0, 141, 141};
       device.errorFlags = {0x100, 0, 0x4};
       comm.Write(kFrame, 3);
       EXPECT_THAT(device.written, ElementsAre(0xF0, 0x01, 0xF7));
       device.failingCalls = {"ClearErrors"};
       comm.Write(kFrame, 3);
     }},
    {"short or failed writes OR their flags into errors; a negative count sends nothing", true,
     "ClearErrors queue; Write 4; ClearErrors; ClearErrors queue; Write 0; ClearErrors queue; "
     "Write 4; ClearErrors",
     0x120, true,
     [](Device& device, Comm& comm) {
       device.acceptedPerWrite = 2;
       device.errorFlags = {0, 0x100, 0, 0, 0x20};
       comm.Write(kFrame, 4);
       comm.Write(kFrame, -5);
       EXPECT_THAT(device.written, ElementsAre(0xF0, 0x01));
       device.failingCalls = {"Write"};
       comm.Write(kFrame, 4);
     }},
    {"a reopen closes first; a held port is told apart, errors -1; a gone device is noted", true,
     kClose + "; Open COM4; Open COM4; " + kConfigure + kRaise +
         "; ClearErrors queue; Write 1; ClearErrors",
     kNoHandle, true,
     [](Device& device, Comm& comm) {
       device.openResult = platform::kInvalidHandle;
       device.lastError = Device::kInUseCode;
       EXPECT_FALSE(comm.Open(4));
       EXPECT_FALSE(comm.IsOpen());
       EXPECT_TRUE(comm.PortInUse());
       device.openResult = 7;
       EXPECT_TRUE(comm.Open(4));
       EXPECT_FALSE(comm.PortInUse());
       device.failingCalls = {"Write"};
       device.lastError = Device::kGoneCode;
       comm.Write(kFrame, 1);
       EXPECT_TRUE(comm.DeviceGone());
     }},
    {"flush input on a line that never falls silent discards at most 4096 bytes", true,
     "Drain; ClearErrors; " + Repeated("Read 1", 4096), 0, true,
     [](Device& device, Comm& comm) {
       device.incoming.assign(5000, 0x55);
       comm.FlushInput();
       EXPECT_EQ(device.incoming.size(), 5000u - 4096u);
     }},
    {"flush input and the wait for the output queue give up after 1000 ms", false,
     "Drain; ClearErrors; " + Repeated("Read 1", 10) + "; " + Repeated("ClearErrors queue", 10) +
         "; Write 1; " + kClose,
     0, false,
     [](Device& device, Comm&) {
       SteppingClock clock;
       Comm scoped(device, clock);
       ASSERT_TRUE(scoped.Open(3));
       device.calls.clear();
       device.incoming.assign(100, 0x55);
       scoped.FlushInput();
       device.queueCounts.assign(100, 141);
       scoped.Write(kFrame, 1);
     }},
    {"flush input drains, then reads until silence", true,
     "Drain; ClearErrors; Read 1; Read 1; Read 1; Read 1; ClearErrors", 0x42, true,
     [](Device& device, Comm& comm) {
       device.incoming = {1, 2, 3};
       device.errorFlags = {0x40, 0x2};
       comm.FlushInput();
       EXPECT_TRUE(device.incoming.empty());
     }},
    {"zero handle fails the open; the closed port touches nothing more, close included", false,
     "Open COM3", 0, false,
     [](Device& device, Comm& comm) {
       device.openResult = 0;
       EXPECT_FALSE(comm.Open(3));
       EXPECT_FALSE(comm.ReadByte(byte));
       comm.FlushInput();
       comm.Write(kFrame, 1);
       EXPECT_FALSE(comm.Configure());
       EXPECT_TRUE(comm.Close());
     }},
};

TEST(CommOnRecordingDevice, CallsInOrderAndErrorBookkeeping) {
  for (const CommCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Device device;
    Comm comm(device);
    if (c.openFirst) {
      ASSERT_TRUE(comm.Open(3));
      device.calls.clear();
    }
    c.scene(device, comm);
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(comm.Errors(), c.errors);
    EXPECT_EQ(comm.IsOpen(), c.openAfter);
  }
}

}  // namespace
}  // namespace flashdesk
