#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/SerialApi.h"
#include "platform/Trace.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class PortDevicePathTest : public ::testing::Test {
 protected:
  ~PortDevicePathTest() override { ::unsetenv("FLASHDESK_PORT_TEMPLATE"); }
};

TEST_F(PortDevicePathTest, DefaultsToUsbSerialDevices) {
  ::unsetenv("FLASHDESK_PORT_TEMPLATE");
  EXPECT_EQ(PortDevicePath(4), "/dev/ttyUSB4");
}

TEST_F(PortDevicePathTest, FollowsTheTemplateFromTheEnvironment) {
  fakes::TraceCapture trace;
  ::setenv("FLASHDESK_PORT_TEMPLATE", "/tmp/sim/COM%i", 1);

  EXPECT_EQ(PortDevicePath(3), "/tmp/sim/COM3");
  EXPECT_EQ(SystemSerialApi().PortPath(11), "/tmp/sim/COM11");
  EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(PortDevicePathTest, MalformedTemplateFallsBackToTheDefaultAndSaysSo) {
  for (const char* malformed : {"/tmp/%s/COM%i", "/tmp/COM", "/tmp/COM%i%i", "%n%n%n"}) {
    SCOPED_TRACE(malformed);
    fakes::TraceCapture trace;
    ::setenv("FLASHDESK_PORT_TEMPLATE", malformed, 1);

    EXPECT_EQ(PortDevicePath(2), "/dev/ttyUSB2");
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_THAT(trace.Lines()[0], HasSubstr(malformed));
  }
}

class TraceSwitch : public ::testing::Test {
 protected:
  ~TraceSwitch() override { ::unsetenv("FLASHDESK_TRACE"); }

  static std::string TraceToStderr(const std::string& line) {
    ::testing::internal::CaptureStderr();
    Trace(line);
    return ::testing::internal::GetCapturedStderr();
  }
};

TEST_F(TraceSwitch, WritesLinesToStderrOnlyWhenSwitchedOn) {
  struct Case {
    const char* setting;  // nullptr: unset
    const char* line;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "SetupComm : Failed", ""},
      {"0", "SetupComm : Failed", ""},
      {"yes", "SetupComm : Failed", ""},
      {"1", "SetupComm : Failed", "SetupComm : Failed\n"},
      {"1", "ErrorLog : Constructor Called\n", "ErrorLog : Constructor Called\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting == nullptr ? "unset" : c.setting);
    if (c.setting == nullptr) {
      ::unsetenv("FLASHDESK_TRACE");
    } else {
      ::setenv("FLASHDESK_TRACE", c.setting, 1);
    }
    EXPECT_EQ(TraceToStderr(c.line), c.expected);
  }
}

TEST_F(TraceSwitch, SinkTakesTheLinesAndRemovingItRestoresStderr) {
  ::setenv("FLASHDESK_TRACE", "1", 1);
  {
    fakes::TraceCapture capture;
    EXPECT_EQ(TraceToStderr("to the sink"), "");
    EXPECT_THAT(capture.Lines(), ElementsAre("to the sink"));
  }
  EXPECT_EQ(TraceToStderr("back on stderr"), "back on stderr\n");
}

}  // namespace
}  // namespace flashdesk::platform
