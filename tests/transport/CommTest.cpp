#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "tests/platform/TraceCapture.h"
#include "tests/transport/RecordingSerialApi.h"
#include "transport/Comm.h"

namespace flashdesk {
namespace {

using ::testing::ElementsAre;
using Device = fakes::RecordingSerialApi;

std::uint8_t byte = 0;  // what the scenes read into
const std::uint8_t kFrame[] = {0xF0, 0x01, 0xF7, 0x05};

constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;
const std::string kOpen3 = "Open COM3 19200 8N1 none; SetDtr 1";
const std::string kRead = "Read 1 20 20";
const std::string kClose = "SetDtr 0; Discard both; Close";

std::string Repeated(const std::string& call, int times) {
  std::string all = call;
  while (--times > 0)
    all += "; " + call;
  return all;
}

// The last failure's category and call, "" for none.
std::string Failure(const Comm& comm) {
  const platform::SerialFailure& failure = comm.LastFailure();
  return failure ? std::string(platform::ProblemName(failure->problem)) + " " + failure->call : "";
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
    {"a port that does not open: errors -1, the reason kept; a port that opens forgets it", false,
     "Open COM3 19200 8N1 none; " + kOpen3, 0, true,
     [](Device& device, Comm& comm) {
       device.failingCalls = {"Open"};
       device.failure.problem = platform::SerialProblem::kInUse;
       EXPECT_FALSE(comm.Open(3));
       EXPECT_FALSE(comm.IsOpen());
       EXPECT_EQ(comm.Errors(), kNoHandle);
       EXPECT_EQ(Failure(comm), "in use Open");
       device.failingCalls.clear();
       comm.ClearErrors();
       EXPECT_TRUE(comm.Open(3));
       EXPECT_EQ(Failure(comm), "");
     }},
    {"failed close replaces errors with the system's code", true,
     kRead + "; TakeLineErrors; " + kClose, 5, false,
     [](Device& device, Comm& comm) {
       device.errorFlags = {0x10};
       comm.ReadByte(byte);
       EXPECT_EQ(comm.Errors(), 0x10u);
       device.failingCalls = {"Close"};
       EXPECT_TRUE(comm.Close());
     }},
    {"a refused DTR does not fail the open; destruction closes an open port", false,
     "Open COM2 19200 8N1 none; SetDtr 1; " + kClose, 0, false,
     [](Device& device, Comm&) {
       device.failingCalls = {"SetDtr"};
       Comm scoped(device);
       EXPECT_TRUE(scoped.Open(2));
     }},
    {"failed reads and a failing read call OR their flags into errors until cleared", true,
     Repeated(kRead, 2) + "; TakeLineErrors; " + kRead + "; TakeLineErrors; " + kRead +
         "; TakeLineErrors",
     0x4, true,
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
     "QueuedOutput; QueuedOutput; QueuedOutput; Write 3; QueuedOutput; Write 3", 0x104, true,
     [](Device& device, Comm& comm) {
       device.queueCounts = {141, 60, 0, 141, 141};
       device.errorFlags = {0x100, 0, 0x4};
       comm.Write(kFrame, 3);
       EXPECT_THAT(device.written, ElementsAre(0xF0, 0x01, 0xF7));
       device.failingCalls = {"QueuedOutput"};
       comm.Write(kFrame, 3);
     }},
    {"short or failed writes OR their flags into errors; a negative count sends nothing", true,
     "QueuedOutput; Write 4; TakeLineErrors; QueuedOutput; Write 0; QueuedOutput; Write 4; "
     "TakeLineErrors",
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
    {"a reopen closes first; a device gone during a write is the last failure", true,
     kClose + "; Open COM4 19200 8N1 none; SetDtr 1; QueuedOutput; Write 1; TakeLineErrors", 0,
     true,
     [](Device& device, Comm& comm) {
       EXPECT_TRUE(comm.Open(4));
       device.failingCalls = {"Write"};
       device.failure.problem = platform::SerialProblem::kVanished;
       comm.Write(kFrame, 1);
       EXPECT_EQ(Failure(comm), "vanished Write");
     }},
    {"flush input on a line that never falls silent discards at most 4096 bytes", true,
     "Drain; TakeLineErrors; " + Repeated(kRead, 4096), 0, true,
     [](Device& device, Comm& comm) {
       device.incoming.assign(5000, 0x55);
       comm.FlushInput();
       EXPECT_EQ(device.incoming.size(), 5000u - 4096u);
     }},
    {"flush input and the wait for the output queue give up after 1000 ms", false,
     "Drain; TakeLineErrors; " + Repeated(kRead, 10) + "; " + Repeated("QueuedOutput", 10) +
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
     "Drain; TakeLineErrors; " + Repeated(kRead, 4) + "; TakeLineErrors", 0x42, true,
     [](Device& device, Comm& comm) {
       device.incoming = {1, 2, 3};
       device.errorFlags = {0x40, 0x2};
       comm.FlushInput();
       EXPECT_TRUE(device.incoming.empty());
     }},
    {"zero handle fails the open; the closed port touches nothing more, close included", false,
     "Open COM3 19200 8N1 none", 0, false,
     [](Device& device, Comm& comm) {
       device.openResult = 0;
       EXPECT_FALSE(comm.Open(3));
       EXPECT_FALSE(comm.ReadByte(byte));
       comm.FlushInput();
       comm.Write(kFrame, 1);
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
      ASSERT_EQ(device.calls, kOpen3);
      device.calls.clear();
    }
    c.scene(device, comm);
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(comm.Errors(), c.errors);
    EXPECT_EQ(comm.IsOpen(), c.openAfter);
  }
}

TEST(CommOnRecordingDevice, ClosingAPortThatSawErrorsTracesItsErrorWord) {
  const struct {
    const char* name;
    std::deque<std::uint32_t> flags;  // line errors after a silent read
    bool closeFails;
    const char* traced;  // "" for no line
  } cases[] = {
      {"clean port", {}, false, ""},
      {"overrun and frame error", {0x2, 0x8}, false, "Comm : COM3 closed with error word 0xA"},
      {"close refused", {}, true, "Comm : COM3 closed with error word 0x5"},
  };
  for (const auto& c : cases) {
    Device device;
    Comm comm(device);
    ASSERT_TRUE(comm.Open(3));
    device.errorFlags = c.flags;
    comm.ReadByte(byte);
    comm.ReadByte(byte);
    if (c.closeFails)
      device.failingCalls = {"Close"};
    fakes::TraceCapture trace;
    comm.Close();
    const std::vector<std::string> lines = trace.Lines();
    EXPECT_EQ(lines, *c.traced ? std::vector<std::string>{std::string(c.traced) + "\n"}
                               : std::vector<std::string>{})
        << c.name;
  }
}

}  // namespace
}  // namespace flashdesk
