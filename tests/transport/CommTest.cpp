#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/platform/TraceCapture.h"
#include "tests/transport/RecordingSerialApi.h"
#include "transport/Comm.h"
#include "transport/SerialPort.h"

namespace flashdesk {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;

class CommOnRecordingDevice : public ::testing::Test {
 protected:
  // Opens port 3 and forgets the calls that made it.
  void OpenQuietly() {
    ASSERT_TRUE(comm.Open(3));
    device.calls.clear();
  }

  fakes::RecordingSerialApi device;
  Comm comm{device};
};

TEST_F(CommOnRecordingDevice, OpenMakesTheCallsInOrderWithTheBusValues) {
  EXPECT_TRUE(comm.Open(3));

  EXPECT_THAT(device.calls,
              ElementsAre("Open COM3", "SetupQueues 1 1", "GetTimeouts", "SetTimeouts 5 10 10 2 10",
                          "GetLineSettings", "SetLineSettings", "SetDtr 1", "SetEventMask 65535"));
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(comm.Errors(), 0u);
}

TEST_F(CommOnRecordingDevice, ConfigureWritesTheLineSettingsOverWhatTheDeviceHad) {
  platform::LineSettings odd;
  odd.baudRate = 300;
  odd.byteSize = 7;
  odd.parity = 2;
  odd.stopBits = 2;
  odd.binary = false;
  odd.parityCheck = false;
  odd.outxCtsFlow = odd.outxDsrFlow = odd.dsrSensitivity = odd.outX = odd.inX = true;
  odd.dtrControl = odd.rtsControl = 1;
  odd.xonChar = odd.xoffChar = 'x';
  odd.xonLim = odd.xoffLim = 7;
  device.storedSettings = odd;

  ASSERT_TRUE(comm.Open(3));

  const platform::LineSettings& s = device.storedSettings;
  EXPECT_EQ(s.baudRate, 19200u);
  EXPECT_EQ(s.byteSize, 8);
  EXPECT_EQ(s.parity, 0);
  EXPECT_EQ(s.stopBits, 0);
  EXPECT_TRUE(s.binary);
  EXPECT_TRUE(s.parityCheck);
  EXPECT_FALSE(s.outxCtsFlow || s.outxDsrFlow || s.dsrSensitivity || s.outX || s.inX);
  EXPECT_EQ(s.dtrControl, 0);
  EXPECT_EQ(s.rtsControl, 0);
  EXPECT_EQ(s.xonChar, 0x11);
  EXPECT_EQ(s.xoffChar, 0x13);
  EXPECT_EQ(s.xonLim, 100);
  EXPECT_EQ(s.xoffLim, 100);
}

TEST_F(CommOnRecordingDevice, RefusedQueueSizesOnlyLeaveATraceLine) {
  fakes::TraceCapture trace;
  device.failingCalls = {"SetupQueues"};

  EXPECT_TRUE(comm.Open(3));

  EXPECT_THAT(trace.Lines(), ElementsAre("SetupComm : Failed"));
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommOnRecordingDevice, RefusedConfigurationEndsClosedWithDtrLowered) {
  device.failingCalls = {"SetLineSettings"};

  EXPECT_FALSE(comm.Open(3));

  EXPECT_THAT(device.calls,
              ElementsAre("Open COM3", "SetupQueues 1 1", "GetTimeouts", "SetTimeouts 5 10 10 2 10",
                          "GetLineSettings", "SetLineSettings", "SetDtr 0", "Purge 15", "Close"));
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommOnRecordingDevice, NoHandleSetsErrorsToMinusOneAndStaysClosed) {
  OpenQuietly();
  device.errorFlags = {0x2};
  std::uint8_t byte = 0;
  comm.ReadByte(byte);
  device.calls.clear();
  device.openResult = platform::kInvalidHandle;

  EXPECT_FALSE(comm.Open(4));

  EXPECT_THAT(device.calls, ElementsAre("SetDtr 0", "Purge 15", "Close", "Open COM4"));
  EXPECT_EQ(comm.Errors(), kNoHandle);
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommOnRecordingDevice, ZeroHandleIsNoHandleAndTouchesNothingMore) {
  device.openResult = 0;

  EXPECT_FALSE(comm.Open(3));

  EXPECT_THAT(device.calls, ElementsAre("Open COM3"));
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommOnRecordingDevice, OpenWhileOpenClosesTheFirstPortBeforeTheSecond) {
  OpenQuietly();

  ASSERT_TRUE(comm.Open(5));

  ASSERT_GE(device.calls.size(), 4u);
  EXPECT_THAT(std::vector<std::string>(device.calls.begin(), device.calls.begin() + 4),
              ElementsAre("SetDtr 0", "Purge 15", "Close", "Open COM5"));
}

TEST_F(CommOnRecordingDevice, CloseOnAClosedPortChangesNothing) {
  device.openResult = platform::kInvalidHandle;
  comm.Open(3);
  device.calls.clear();

  EXPECT_TRUE(comm.Close());

  EXPECT_THAT(device.calls, IsEmpty());
  EXPECT_EQ(comm.Errors(), kNoHandle);
}

TEST_F(CommOnRecordingDevice, FailedCloseReplacesErrorsWithTheLastError) {
  OpenQuietly();
  device.errorFlags = {0x10};
  std::uint8_t byte = 0;
  comm.ReadByte(byte);
  ASSERT_EQ(comm.Errors(), 0x10u);
  device.failingCalls = {"Close"};
  device.lastError = 5;

  EXPECT_TRUE(comm.Close());

  EXPECT_EQ(comm.Errors(), 5u);
  EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommOnRecordingDevice, DestructionClosesAnOpenPort) {
  fakes::RecordingSerialApi ownDevice;
  {
    Comm scoped(ownDevice);
    ASSERT_TRUE(scoped.Open(2));
    ownDevice.calls.clear();
  }
  EXPECT_THAT(ownDevice.calls, ElementsAre("SetDtr 0", "Purge 15", "Close"));
}

TEST_F(CommOnRecordingDevice, FailedReadsOrTheirErrorFlagsTogether) {
  OpenQuietly();
  device.incoming = {0x41, fakes::RecordingSerialApi::kSilence,
                     fakes::RecordingSerialApi::kSilence};
  device.errorFlags = {0x1, 0x8};
  std::uint8_t byte = 0;

  EXPECT_TRUE(comm.ReadByte(byte));
  EXPECT_EQ(byte, 0x41);
  EXPECT_FALSE(comm.ReadByte(byte));
  EXPECT_FALSE(comm.ReadByte(byte));

  EXPECT_EQ(comm.Errors(), 0x9u);
  EXPECT_THAT(device.calls,
              ElementsAre("Read 1", "Read 1", "ClearErrors", "Read 1", "ClearErrors"));
  comm.ClearErrors();
  EXPECT_EQ(comm.Errors(), 0u);
}

TEST_F(CommOnRecordingDevice, AFailingReadCallIsAFailedRead) {
  OpenQuietly();
  device.incoming = {0x41};
  device.failingCalls = {"Read"};
  device.errorFlags = {0x4};
  std::uint8_t byte = 0;

  EXPECT_FALSE(comm.ReadByte(byte));
  EXPECT_EQ(comm.Errors(), 0x4u);
}

TEST_F(CommOnRecordingDevice, WriteWaitsUntilTheOutputQueueReadsZero) {
  OpenQuietly();
  device.queueCounts = {141, 60, 0};
  device.errorFlags = {0x100, 0, 0x4};
  const std::uint8_t frame[] = {0xF0, 0x01, 0xF7};

  comm.Write(frame, 3);

  EXPECT_THAT(device.calls, ElementsAre("ClearErrors queue", "ClearErrors queue",
                                        "ClearErrors queue", "Write 3"));
  EXPECT_THAT(device.written, ElementsAre(0xF0, 0x01, 0xF7));
  EXPECT_EQ(comm.Errors(), 0x104u);
}

TEST_F(CommOnRecordingDevice, AFailedQueueQueryEndsTheWait) {
  OpenQuietly();
  device.queueCounts = {141, 141, 141};
  device.failingCalls = {"ClearErrors"};
  const std::uint8_t frame[] = {0xF0, 0xF7};

  comm.Write(frame, 2);

  EXPECT_THAT(device.calls, ElementsAre("ClearErrors queue", "Write 2"));
}

TEST_F(CommOnRecordingDevice, ShortOrFailedWritesOrTheirFlagsIntoErrors) {
  OpenQuietly();
  device.acceptedPerWrite = 2;
  device.errorFlags = {0, 0x100, 0, 0x20};
  const std::uint8_t frame[] = {1, 2, 3, 4};

  comm.Write(frame, 4);
  device.failingCalls = {"Write"};
  comm.Write(frame, 4);

  EXPECT_THAT(device.calls, ElementsAre("ClearErrors queue", "Write 4", "ClearErrors",
                                        "ClearErrors queue", "Write 4", "ClearErrors"));
  EXPECT_EQ(comm.Errors(), 0x120u);
}

TEST_F(CommOnRecordingDevice, FlushInputDrainsThenReadsUntilSilence) {
  OpenQuietly();
  device.incoming = {1, 2, 3};
  device.errorFlags = {0x40, 0x2};

  comm.FlushInput();

  EXPECT_THAT(device.calls, ElementsAre("Drain", "ClearErrors", "Read 1", "Read 1", "Read 1",
                                        "Read 1", "ClearErrors"));
  EXPECT_THAT(device.incoming, IsEmpty());
  EXPECT_EQ(comm.Errors(), 0x42u);
}

TEST_F(CommOnRecordingDevice, OperationsOnAClosedPortTouchNothing) {
  std::uint8_t byte = 0;
  const std::uint8_t frame[] = {1};

  EXPECT_FALSE(comm.ReadByte(byte));
  comm.FlushInput();
  comm.Write(frame, 1);
  EXPECT_FALSE(comm.Configure());

  EXPECT_THAT(device.calls, IsEmpty());
}

TEST_F(CommOnRecordingDevice, NegativeWriteCountSendsNothing) {
  OpenQuietly();
  const std::uint8_t frame[] = {1};

  comm.Write(frame, -5);

  EXPECT_THAT(device.written, IsEmpty());
  EXPECT_EQ(comm.Errors(), 0u);
}

TEST(SerialPortOnRecordingDevice, BurstStopsAtTheLimitAndAtSilence) {
  fakes::RecordingSerialApi device;
  for (int i = 0; i < 1500; ++i) {
    device.incoming.push_back(i % 251);
  }
  SerialPort port(device);
  ASSERT_TRUE(port.Open(3));
  std::vector<std::uint8_t> burst(SerialPort::kMaxBurst + 8, 0xEE);

  EXPECT_EQ(port.ReadBurst(burst.data()), 1002);
  EXPECT_EQ(burst[1001], 1001 % 251);
  EXPECT_EQ(burst[1002], 0xEE);
  EXPECT_EQ(port.ReadBurst(burst.data()), 498);
  EXPECT_EQ(burst[0], 1002 % 251);
  EXPECT_EQ(port.ReadBurst(burst.data()), 0);
}

TEST(SerialPortOnRecordingDevice, BurstOnAClosedPortReadsNothing) {
  fakes::RecordingSerialApi device;
  device.incoming = {1, 2, 3};
  SerialPort port(device);
  std::uint8_t burst[SerialPort::kMaxBurst];

  EXPECT_EQ(port.ReadBurst(burst), 0);
  EXPECT_THAT(device.calls, IsEmpty());
}

}  // namespace
}  // namespace flashdesk
