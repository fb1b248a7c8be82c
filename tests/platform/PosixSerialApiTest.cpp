#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "platform/SerialApi.h"
#include "platform/SystemError.h"
#include "tests/platform/TraceCapture.h"
#include "tests/transport/PseudoTerminal.h"

namespace flashdesk::platform {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using Clock = std::chrono::steady_clock;

TEST(SystemErrorWords, PermissionAndPortInUseGetTheirOwnAdvice) {
  struct Case {
    int code;
    const char* contains;
  };
  const Case cases[] = {
      {EACCES, "dialout group"},
      {EPERM, "dialout group"},
      {EBUSY, "in use by another program"},
      {EWOULDBLOCK, "in use by another program"},
      {ENOENT, "No such file or directory"},
      {ENOTTY, "Not a serial device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_THAT(DescribeSystemError(c.code), HasSubstr(c.contains));
  }
  EXPECT_THAT(DescribeSystemError(EBUSY), Not(HasSubstr("dialout")));
  EXPECT_THAT(DescribeSystemError(EACCES), Not(HasSubstr("in use")));
}

class PosixSerialDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = api.Open(pty.SlavePath());
    ASSERT_NE(handle, kInvalidHandle);
    LineSettings settings;
    ASSERT_TRUE(api.GetLineSettings(handle, settings));
    settings.baudRate = 19200;
    ASSERT_TRUE(api.SetLineSettings(handle, settings));
  }
  void TearDown() override {
    if (handle != kInvalidHandle) {
      api.Close(handle);
    }
  }

  fakes::PseudoTerminal pty;
  SerialApi& api = SystemSerialApi();
  DeviceHandle handle = kInvalidHandle;
};

TEST_F(PosixSerialDevice, LineSettingsReadBackAsSet) {
  LineSettings wanted;
  wanted.baudRate = 9600;
  wanted.stopBits = 2;
  wanted.parityCheck = true;
  wanted.outX = true;
  wanted.xonChar = 0x21;
  wanted.xoffChar = 0x22;
  wanted.xonLim = 100;
  ASSERT_TRUE(api.SetLineSettings(handle, wanted));

  LineSettings read;
  ASSERT_TRUE(api.GetLineSettings(handle, read));

  EXPECT_EQ(read.baudRate, 9600u);
  EXPECT_EQ(read.stopBits, 2);
  EXPECT_TRUE(read.parityCheck);
  EXPECT_TRUE(read.outX);
  EXPECT_FALSE(read.inX);
  EXPECT_EQ(read.xonChar, 0x21);
  EXPECT_EQ(read.xoffChar, 0x22);
  EXPECT_EQ(read.xonLim, 100);
}

TEST_F(PosixSerialDevice, UnsupportedLineSettingsAreRefused) {
  for (const auto change :
       {+[](LineSettings& s) { s.baudRate = 12345; }, +[](LineSettings& s) { s.byteSize = 9; },
        +[](LineSettings& s) { s.parity = 3; }, +[](LineSettings& s) { s.stopBits = 1; }}) {
    LineSettings settings;
    settings.baudRate = 19200;
    change(settings);
    EXPECT_FALSE(api.SetLineSettings(handle, settings));
    EXPECT_EQ(api.LastError(), EINVAL);
  }
}

TEST_F(PosixSerialDevice, ReadWaitsForTheTotalTimeOutOfTheRequest) {
  struct Case {
    Timeouts timeouts;
    std::uint32_t count;
    std::int64_t atLeastMs;
  };
  const Case cases[] = {
      {{5, 10, 10, 2, 10}, 1, 20},
      {{0, 0, 60, 0, 0}, 1, 60},
      {{0, 10, 0, 0, 0}, 4, 40},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(api.SetTimeouts(handle, c.timeouts));
    std::uint8_t bytes[8];
    std::uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_TRUE(api.Read(handle, bytes, c.count, got));
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, c.atLeastMs - 1);
    EXPECT_LT(elapsed, c.atLeastMs + 1000);
  }
}

TEST_F(PosixSerialDevice, ReadReturnsWhatArrivedWhenTheTimeOutEnds) {
  ASSERT_TRUE(api.SetTimeouts(handle, {0, 0, 100, 0, 0}));
  pty.Send({1, 2, 3});
  std::uint8_t bytes[8] = {};
  std::uint32_t got = 0;

  EXPECT_TRUE(api.Read(handle, bytes, 8, got));

  EXPECT_EQ(got, 3u);
  EXPECT_EQ(bytes[2], 3);
}

TEST_F(PosixSerialDevice, PurgeDiscardsPendingInput) {
  ASSERT_TRUE(api.SetTimeouts(handle, {0, 0, 20, 0, 0}));
  pty.Send({1, 2, 3, 4});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  EXPECT_TRUE(api.Purge(handle, kPurgeRxClear | kPurgeRxAbort));

  std::uint8_t bytes[8];
  std::uint32_t got = 0;
  EXPECT_TRUE(api.Read(handle, bytes, 8, got));
  EXPECT_EQ(got, 0u);
}

TEST_F(PosixSerialDevice, WriteToALineNobodyReadsEndsShortAtTheTimeOut) {
  ASSERT_TRUE(api.SetTimeouts(handle, {0, 0, 0, 0, 50}));
  const std::vector<std::uint8_t> flood(1 << 20, 0x5A);
  std::uint32_t written = 0;

  const auto start = Clock::now();
  EXPECT_TRUE(api.Write(handle, flood.data(), static_cast<std::uint32_t>(flood.size()), written));

  EXPECT_LT(written, flood.size());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

TEST_F(PosixSerialDevice, ClosedHandleIsRefusedEverywhere) {
  ASSERT_TRUE(api.Close(handle));
  const DeviceHandle closed = handle;
  handle = kInvalidHandle;
  std::uint8_t byte = 0;
  std::uint32_t count = 0;
  Timeouts timeouts;

  EXPECT_FALSE(api.Read(closed, &byte, 1, count));
  EXPECT_FALSE(api.Write(closed, &byte, 1, count));
  EXPECT_FALSE(api.GetTimeouts(closed, timeouts));
  EXPECT_FALSE(api.Close(closed));
  EXPECT_FALSE(api.Purge(kInvalidHandle, kPurgeRxClear));
  EXPECT_EQ(api.LastError(), EBADF);
}

TEST(PosixSerialOpen, FailuresNameTheDeviceAndTheReason) {
  char pattern[] = "/tmp/flashdesk-notatty-XXXXXX";
  const int fd = ::mkstemp(pattern);
  ASSERT_GE(fd, 0);
  ::close(fd);
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {"/nonexistent/ttyUSB0", "No such file or directory"},
      {pattern, "Not a serial device"},
  };
  for (const Case& c : cases) {
    fakes::TraceCapture trace;
    EXPECT_EQ(SystemSerialApi().Open(c.path), kInvalidHandle);
    EXPECT_THAT(trace.Joined(), AllOf(HasSubstr(c.path), HasSubstr(c.reason)));
  }
  ::unlink(pattern);
}

}  // namespace
}  // namespace flashdesk::platform
