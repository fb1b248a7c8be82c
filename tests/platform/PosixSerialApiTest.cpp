// The POSIX serial device on pseudo-terminals, its words for system errors and the
// environment switches for port paths and tracing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <tuple>

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

// 1 while the terminal behind fd is held exclusively.
int Exclusive(int fd) {
  int held = -1;
  return ::ioctl(fd, TIOCGEXCL, &held) == 0 ? held : -1;
}

std::string ProblemOf(const SerialFailure& failure) {
  return failure ? ProblemName(failure->problem) : "none";
}

TEST(PosixSerialErrors, EachCodeMeansWhatAUserCanActOn) {
  const struct {
    const char* call;
    int code;
    const char* problem;
  } cases[] = {
      {"open", EACCES, "permission"},
      {"open", EPERM, "permission"},
      {"open", EBUSY, "in use"},
      {"flock", EWOULDBLOCK, "in use"},
      {"flock", EAGAIN, "in use"},
      {"read", EAGAIN, "other"},
      {"open", ENOENT, "missing"},
      {"open", ENODEV, "missing"},
      {"write", ENODEV, "vanished"},
      {"write", EIO, "vanished"},
      {"open", ENXIO, "vanished"},
      {"poll (hang-up)", EIO, "vanished"},
      {"ioctl TIOCEXCL", ENOTTY, "not a serial device"},
      {"tcdrain", ETIMEDOUT, "timed out"},
      {"tcsetattr", EINVAL, "other"},
  };
  for (const auto& c : cases) {
    const SerialError error = SerialErrorOf(c.call, c.code);
    EXPECT_EQ(ProblemName(error.problem), std::string(c.problem)) << c.call << " " << c.code;
    EXPECT_EQ(error.code, c.code);
    EXPECT_EQ(error.call, c.call);
    EXPECT_EQ(error.message, std::strerror(c.code));
  }
  EXPECT_THAT(DescribeSerialError(SerialErrorOf("open", EACCES)), HasSubstr("dialout group"));
  EXPECT_THAT(DescribeSerialError(SerialErrorOf("flock", EAGAIN)),
              HasSubstr("in use by another program"));
}

// Opens that fail as a user meets them; each leaves one trace line with path, call, category,
// code and the system's words.
TEST(PosixSerialDevice, FailedOpensSayWhyInOneTraceLine) {
  fakes::PseudoTerminal pty;
  SerialApi& api = SystemSerialApi();
  DeviceHandle held = kInvalidHandle;
  ASSERT_FALSE(api.Open(pty.SlavePath(), LineSettings{}, held));
  char file[] = "/tmp/flashdesk-notatty-XXXXXX";
  ::close(::mkstemp(file));
  const struct {
    const char* scenario;
    std::string path;
    const char* problem;
  } cases[] = {
      // Refused by TIOCEXCL, or for root by the lock.
      {"the port another program holds", pty.SlavePath(), "in use"},
      {"an adapter that is not plugged in", "/dev/ttyUSB-flashdesk-none", "missing"},
      {"a template that names a plain file", file, "not a serial device"},
  };
  for (const auto& c : cases) {
    fakes::TraceCapture trace;
    DeviceHandle handle = 42;
    const SerialFailure failure = api.Open(c.path, LineSettings{}, handle);
    EXPECT_EQ(handle, kInvalidHandle) << c.scenario;
    ASSERT_EQ(ProblemOf(failure), c.problem) << c.scenario;
    ASSERT_EQ(trace.Lines().size(), 1u) << c.scenario;
    EXPECT_THAT(trace.Lines()[0],
                AllOf(HasSubstr(c.path), HasSubstr(failure->call + ": " + c.problem),
                      HasSubstr("code " + std::to_string(failure->code)),
                      HasSubstr(std::strerror(failure->code))))
        << c.scenario;
  }
  ::unlink(file);
  EXPECT_FALSE(api.Close(held));
}

TEST(PosixSerialDevice, AUserOutsideTheDialoutGroupIsToldSo) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root opens every device; the mapping of EACCES is checked on its own";
  }
  fakes::PseudoTerminal pty;
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
  DeviceHandle handle = kInvalidHandle;
  const SerialFailure failure = SystemSerialApi().Open(pty.SlavePath(), LineSettings{}, handle);
  ASSERT_EQ(ProblemOf(failure), "permission");
  EXPECT_EQ(failure->call, "open");
  EXPECT_THAT(DescribeSerialError(*failure), HasSubstr("dialout group"));
}

// Settings and exclusive use as before the open, seen through a descriptor of its own.
TEST(PosixSerialDevice, CloseLeavesTheTerminalAsItWasFound) {
  fakes::PseudoTerminal pty;
  const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(other, &before), 0);
  before.c_lflag |= ICANON | ECHO;
  ::cfsetospeed(&before, B9600);
  ASSERT_EQ(::tcsetattr(other, TCSANOW, &before), 0);
  ASSERT_EQ(::tcgetattr(other, &before), 0);

  SerialApi& api = SystemSerialApi();
  DeviceHandle handle = kInvalidHandle;
  ASSERT_FALSE(api.Open(pty.SlavePath(), LineSettings{}, handle));
  termios during{};
  ASSERT_EQ(::tcgetattr(other, &during), 0);
  EXPECT_EQ(during.c_lflag & ICANON, 0u) << "raw while open";
  EXPECT_EQ(::cfgetospeed(&during), speed_t{B19200});
  EXPECT_EQ(Exclusive(other), 1);
  ASSERT_FALSE(api.Close(handle));
  EXPECT_EQ(Exclusive(other), 0);
  termios after{};
  ASSERT_EQ(::tcgetattr(other, &after), 0);
  const auto fields = [](const termios& t) {
    return std::make_tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, ::cfgetispeed(&t),
                           ::cfgetospeed(&t), std::string(std::begin(t.c_cc), std::end(t.c_cc)));
  };
  EXPECT_EQ(fields(after), fields(before));
  ::close(other);
}

// Settings it cannot make, a write nobody reads and a closed handle: refused, never hung.
TEST(PosixSerialDevice, RefusesWhatItCannotDoAndNeverHangs) {
  fakes::PseudoTerminal pty;
  SerialApi& api = SystemSerialApi();
  const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  for (const auto change :
       {+[](LineSettings& s) { s.baudRate = 12345; }, +[](LineSettings& s) { s.dataBits = 9; }}) {
    LineSettings settings;
    change(settings);
    DeviceHandle refused = kInvalidHandle;
    const SerialFailure failure = api.Open(pty.SlavePath(), settings, refused);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, EINVAL);
    EXPECT_EQ(Exclusive(other), 0) << "others still reach the terminal";
  }
  ::close(other);
  DeviceHandle handle = kInvalidHandle;
  ASSERT_FALSE(api.Open(pty.SlavePath(), LineSettings{}, handle));
  // Byte by byte until the terminal's queue is full: a write that waited for a reader would
  // hang here, one that is refused would fail.
  const std::uint8_t byte = 0x5A;
  std::uint32_t count = 1;
  for (int sent = 0; count == 1 && sent < (1 << 22); ++sent) {
    ASSERT_FALSE(api.Write(handle, &byte, 1, count));
  }
  EXPECT_EQ(count, 0u);

  ASSERT_FALSE(api.Close(handle));
  EXPECT_EQ(api.Write(handle, &byte, 1, count)->code, EBADF);
  EXPECT_EQ(api.Close(handle)->code, EBADF);
}

}  // namespace
}  // namespace flashdesk::platform
