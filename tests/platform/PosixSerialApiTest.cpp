// The POSIX serial device on pseudo-terminals, its words for system errors and the
// environment switches for port paths and tracing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>

#include "platform/SerialApi.h"
#include "platform/SystemError.h"
#include "platform/Trace.h"
#include "testing/PseudoTerminal.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk::platform {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

void SetOrUnset(const char* name, const char* value) {
  if (value == nullptr) {
    ::unsetenv(name);
  } else {
    ::setenv(name, value, 1);
  }
}

std::string TraceToStderr(const std::string& line) {
  ::testing::internal::CaptureStderr();
  Trace(line);
  return ::testing::internal::GetCapturedStderr();
}

TEST(PortDevicePath, FollowsTheTemplateOrFallsBackToUsbSerialDevicesAndSaysWhy) {
  struct Case {
    const char* setting;  // nullptr: unset
    const char* expected;
    bool complaint;
  };
  const Case cases[] = {{nullptr, "/dev/ttyUSB11", false},
                        {"/tmp/sim/COM%i", "/tmp/sim/COM11", false},
                        {"/tmp/%s/COM%i", "/dev/ttyUSB11", true},
                        {"/tmp/COM", "/dev/ttyUSB11", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting == nullptr ? "unset" : c.setting);
    fakes::TraceCapture trace;
    SetOrUnset("FLASHDESK_PORT_TEMPLATE", c.setting);
    EXPECT_EQ(SystemSerialApi().PortPath(11), c.expected);
    ASSERT_EQ(trace.Lines().size(), c.complaint ? 1u : 0u);
    if (c.complaint) {
      EXPECT_THAT(trace.Lines()[0], HasSubstr(c.setting));
    }
  }
  ::unsetenv("FLASHDESK_PORT_TEMPLATE");
}

TEST(TraceSwitch, WritesLinesToStderrOnlyWhenSwitchedOnAndNotWhileASinkTakesThem) {
  const std::pair<const char*, const char*> cases[] = {
      {nullptr, ""}, {"0", ""}, {"yes", ""}, {"1", "SetupComm : Failed\n"}};
  for (const auto& [setting, expected] : cases) {
    SetOrUnset("FLASHDESK_TRACE", setting);
    EXPECT_EQ(TraceToStderr("SetupComm : Failed"), expected) << (setting ? setting : "unset");
  }
  fakes::TraceCapture capture;
  EXPECT_EQ(TraceToStderr("to the sink"), "");
  EXPECT_THAT(capture.Lines(), ElementsAre("to the sink"));
  ::unsetenv("FLASHDESK_TRACE");
}

TEST(SystemErrorWords, PermissionPortInUseAndNoSerialDeviceGetTheirOwnWords) {
  const std::pair<int, const char*> cases[] = {
      {EACCES, "dialout group"}, {EPERM, "dialout group"}, {EBUSY, "in use by another program"},
      {EWOULDBLOCK, "in use"},   {ENOENT, "No such file"}, {ENOTTY, "Not a serial device"}};
  for (const auto& [code, contains] : cases) {
    EXPECT_THAT(DescribeSystemError(code), HasSubstr(contains)) << code;
  }
  EXPECT_THAT(DescribeSystemError(EBUSY), Not(HasSubstr("dialout")));
  char path[] = "/tmp/flashdesk-notatty-XXXXXX";  // a file that is no serial device
  ::close(::mkstemp(path));
  fakes::TraceCapture trace;
  EXPECT_EQ(SystemSerialApi().Open(path), kInvalidHandle);
  EXPECT_THAT(trace.Lines(), Contains(AllOf(HasSubstr(path), HasSubstr("Not a serial device"))));
  ::unlink(path);
}

// Settings it cannot make, a write nobody reads and a closed handle: refused, never hung.
TEST(PosixSerialDevice, RefusesWhatItCannotDoAndNeverHangs) {
  fakes::PseudoTerminal pty;
  SerialApi& api = SystemSerialApi();
  const DeviceHandle handle = api.Open(pty.SlavePath());
  ASSERT_NE(handle, kInvalidHandle);
  LineSettings usual;
  usual.baudRate = 19200;
  ASSERT_TRUE(api.SetLineSettings(handle, usual));
  for (const auto change :
       {+[](LineSettings& s) { s.baudRate = 12345; }, +[](LineSettings& s) { s.byteSize = 9; },
        +[](LineSettings& s) { s.parity = 3; }, +[](LineSettings& s) { s.stopBits = 1; }}) {
    LineSettings settings = usual;
    change(settings);
    EXPECT_FALSE(api.SetLineSettings(handle, settings));
    EXPECT_EQ(api.LastError(), EINVAL);
  }

  ASSERT_TRUE(api.SetTimeouts(handle, {0, 0, 0, 0, 50}));
  const std::vector<std::uint8_t> flood(1 << 20, 0x5A);
  std::uint32_t written = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(api.Write(handle, flood.data(), static_cast<std::uint32_t>(flood.size()), written));
  EXPECT_LT(written, flood.size());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  ASSERT_TRUE(api.Close(handle));
  std::uint8_t byte = 0;
  std::uint32_t count = 0;
  EXPECT_FALSE(api.Read(handle, &byte, 1, count));
  EXPECT_FALSE(api.Write(handle, &byte, 1, count));
  EXPECT_FALSE(api.Close(handle));
  EXPECT_FALSE(api.Purge(kInvalidHandle, kPurgeRxClear));
  EXPECT_EQ(api.LastError(), EBADF);
}

}  // namespace
}  // namespace flashdesk::platform
