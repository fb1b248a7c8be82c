#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/PortTemplate.h"

namespace flashdesk::platform {
namespace {

struct TemplateCase {
  const char* pattern;
  std::int16_t port;
  const char* expected;  // nullptr: refused
};

class PortTemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(PortTemplateTest, Expands) {
  const TemplateCase& c = GetParam();
  const auto path = ExpandPortTemplate(c.pattern, c.port);
  if (c.expected == nullptr) {
    EXPECT_FALSE(path.has_value()) << *path;
  } else {
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Templates, PortTemplateTest,
    ::testing::Values(
        TemplateCase{"/dev/ttyUSB%i", 0, "/dev/ttyUSB0"},
        TemplateCase{"/tmp/bus/COM%i", 12, "/tmp/bus/COM12"}, TemplateCase{"%i", -1, "-1"},
        TemplateCase{"/x/%i", 32767, "/x/32767"}, TemplateCase{"/x/100%%/tty%i", 3, "/x/100%/tty3"},
        TemplateCase{"/dev/ttyUSB", 3, nullptr}, TemplateCase{"/dev/tty%i%i", 3, nullptr},
        TemplateCase{"/dev/%s%i", 3, nullptr}, TemplateCase{"/dev/%n%i", 3, nullptr},
        TemplateCase{"/dev/tty%d", 3, nullptr}, TemplateCase{"/dev/tty%5i", 3, nullptr},
        TemplateCase{"/dev/tty%i%", 3, nullptr}, TemplateCase{"", 3, nullptr},
        TemplateCase{"/dev/tty%%i", 3, nullptr}));

}  // namespace
}  // namespace flashdesk::platform
