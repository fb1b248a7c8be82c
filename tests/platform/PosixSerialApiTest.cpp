#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
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
  const std::pair<int, const char*> cases[] = {{EACCES, "dialout group"},
                                               {EPERM, "dialout group"},
                                               {EBUSY, "in use by another program"},
                                               {EWOULDBLOCK, "in use by another program"},
                                               {ENOENT, "No such file or directory"},
                                               {ENOTTY, "Not a serial device"}};
  for (const auto& [code, contains] : cases) {
    EXPECT_THAT(DescribeSystemError(code), HasSubstr(contains)) << code;
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
    settings.baudRate = 19200;
    ASSERT_TRUE(api.SetLineSettings(handle, settings));
  }
  void TearDown() override {
    if (handle != kInvalidHandle) {
      api.Close(handle);
    }
  }
  std::uint32_t ReadInto(std::uint8_t (&bytes)[8], std::uint32_t count = 8) {
    std::uint32_t got = 99;
    EXPECT_TRUE(api.Read(handle, bytes, count, got));
    return got;
  }

  fakes::PseudoTerminal pty;
  SerialApi& api = SystemSerialApi();
  DeviceHandle handle = kInvalidHandle;
};

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
      {{5, 10, 10, 2, 10}, 1, 20}, {{0, 0, 60, 0, 0}, 1, 60}, {{0, 10, 0, 0, 0}, 4, 40}};
  for (const Case& c : cases) {
    ASSERT_TRUE(api.SetTimeouts(handle, c.timeouts));
    std::uint8_t bytes[8];
    const auto start = Clock::now();
    EXPECT_EQ(ReadInto(bytes, c.count), 0u);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(elapsed, c.atLeastMs - 1);
    EXPECT_LT(elapsed, c.atLeastMs + 1000);
  }
}

TEST_F(PosixSerialDevice, PurgeDiscardsPendingInputAndLaterBytesArrive) {
  ASSERT_TRUE(api.SetTimeouts(handle, {0, 0, 100, 0, 0}));
  pty.Send({1, 2, 3, 4});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::uint8_t bytes[8] = {};

  EXPECT_TRUE(api.Purge(handle, kPurgeRxClear | kPurgeRxAbort));
  EXPECT_EQ(ReadInto(bytes), 0u);

  pty.Send({5, 6, 7});
  EXPECT_EQ(ReadInto(bytes), 3u);  // what arrived when the time-out ends
  EXPECT_EQ(bytes[2], 7);
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

TEST(PosixSerialOpen, AFileThatIsNoSerialDeviceIsRefusedByName) {
  char path[] = "/tmp/flashdesk-notatty-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  fakes::TraceCapture trace;

  EXPECT_EQ(SystemSerialApi().Open(path), kInvalidHandle);

  EXPECT_THAT(trace.Joined(), AllOf(HasSubstr(path), HasSubstr("Not a serial device")));
  ::unlink(path);
}

}  // namespace
}  // namespace flashdesk::platform
