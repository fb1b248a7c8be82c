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

void SetOrUnset(const char* name, const char* value) {
  if (value == nullptr) {
    ::unsetenv(name);
  } else {
    ::setenv(name, value, 1);
  }
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
    SetOrUnset("FLASHDESK_TRACE", c.setting);
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
