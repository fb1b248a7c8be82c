// The POSIX serial device on pseudo-terminals, its words for system errors and the
// environment switches for port paths and tracing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>

#include "platform/SerialApi.h"
#include "platform/SystemError.h"
#include "platform/Trace.h"
#include "testing/PseudoTerminal.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk::platform {
namespace {

using ::testing::AllOf;
using ::testing::Each;
using ::testing::HasSubstr;

TEST(EnvironmentSwitches, PortTemplateFallsBackToUsbSerialDevicesAndSaysWhyTraceGoesToStderr) {
  for (const std::string setting : {"", "/tmp/%s/COM%i", "/tmp/COM"}) {
    fakes::TraceCapture trace;
    ::setenv("FLASHDESK_PORT_TEMPLATE", setting.c_str(), 1);  // empty: as if unset
    EXPECT_EQ(SystemSerialApi().PortPath(11), "/dev/ttyUSB11");
    ASSERT_EQ(trace.Lines().size(), setting.empty() ? 0u : 1u);
    EXPECT_THAT(trace.Lines(), Each(HasSubstr(setting)));
  }
  ::unsetenv("FLASHDESK_PORT_TEMPLATE");

  const auto traced = [](const std::string& line) {
    ::testing::internal::CaptureStderr();
    Trace(line);
    return ::testing::internal::GetCapturedStderr();
  };
  for (const std::string setting : {"0", "yes", "1"}) {
    ::setenv("FLASHDESK_TRACE", setting.c_str(), 1);
    EXPECT_EQ(traced("SetupComm : Failed"), setting == "1" ? "SetupComm : Failed\n" : "");
  }
  fakes::TraceCapture capture;  // while a sink takes the lines, stderr gets none
  EXPECT_EQ(traced("to the sink"), "");
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{"to the sink"});
  ::unsetenv("FLASHDESK_TRACE");
}

// Settings it cannot make, a write nobody reads, a closed handle and a file that is no
// terminal: refused, never hung, with advice of their own for permissions and busy ports.
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
  std::uint32_t count = 0;  // a write that waited for a reader would hang here
  EXPECT_TRUE(api.Write(handle, flood.data(), static_cast<std::uint32_t>(flood.size()), count));
  EXPECT_LT(count, flood.size());

  ASSERT_TRUE(api.Close(handle));
  EXPECT_FALSE(api.Write(handle, flood.data(), 1, count));
  EXPECT_FALSE(api.Close(handle));
  EXPECT_EQ(api.LastError(), EBADF);

  char path[] = "/tmp/flashdesk-notatty-XXXXXX";
  ::close(::mkstemp(path));
  fakes::TraceCapture trace;
  EXPECT_EQ(api.Open(path), kInvalidHandle);
  ASSERT_EQ(trace.Lines().size(), 1u);
  EXPECT_THAT(trace.Lines()[0], AllOf(HasSubstr(path), HasSubstr("Not a serial device")));
  ::unlink(path);
  EXPECT_THAT(DescribeSystemError(EACCES), HasSubstr("dialout group"));
  EXPECT_THAT(DescribeSystemError(EBUSY), HasSubstr("in use by another program"));
}

}  // namespace
}  // namespace flashdesk::platform
