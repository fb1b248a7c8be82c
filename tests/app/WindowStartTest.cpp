#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <algorithm>
#include <string>

#include "testing/EngineRig.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct Ended {
  bool finished;  // false: still running after the wait, then killed
  int exitCode;   // -1 for a crash or abort
  std::string output;
  std::string errors;
};

// The built flashdesk as a user starts it from a terminal: no display unless a case gives
// one, settings, history and ports of its own.
class WindowStart : public ::testing::Test {
 protected:
  WindowStart() {
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "FLASHDESK_PORT", "FLASHDESK_TRACE"})
      environment.remove(QString::fromLatin1(name));
    environment.insert("XDG_CONFIG_HOME", Path("config"));
    environment.insert("XDG_STATE_HOME", Path("state"));
    environment.insert("FLASHDESK_PORT_TEMPLATE", Path("COM%i"));
  }

  QString Path(const char* name) const {
    return QString::fromStdString((home.path / name).string());
  }
  Ended Start(const QStringList& arguments, const QProcessEnvironment& used, int waitMs = 20000) {
    QProcess window;
    window.setProcessEnvironment(used);
    window.start(FLASHDESK_WINDOW_PATH, arguments);
    const bool finished = window.waitForFinished(waitMs);
    if (!finished) {
      window.kill();
      window.waitForFinished();
    }
    return {finished, window.exitStatus() == QProcess::NormalExit ? window.exitCode() : -1,
            window.readAllStandardOutput().toStdString(),
            window.readAllStandardError().toStdString()};
  }
  QProcessEnvironment With(const char* name, const char* value) const {
    QProcessEnvironment changed = environment;
    changed.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return changed;
  }

  flashdesk::testing_support::TempFolder home;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// One line on stderr, never Qt's abort with its advice to reinstall.
void ExpectOneLine(const Ended& ended, const std::string& label) {
  EXPECT_EQ(std::count(ended.errors.begin(), ended.errors.end(), '\n'), 1) << label << ended.errors;
  EXPECT_THAT(ended.errors, Not(HasSubstr("Reinstalling"))) << label;
  EXPECT_EQ(ended.output, "") << label;
}

TEST_F(WindowStart, WithoutADisplayItSaysSoInOneLineAndEndsWithStatusOne) {
  const struct {
    const char* label;
    QProcessEnvironment used;
    QStringList arguments;
    const char* why;
  } cases[] = {
      {"nothing set", environment, {}, "(DISPLAY and WAYLAND_DISPLAY are unset)"},
      {"an X display nobody serves",
       With("DISPLAY", ":flashdesk-none"),
       {},
       "(Qt could not open DISPLAY=:flashdesk-none)"},
      {"a platform plugin that does not exist",
       With("QT_QPA_PLATFORM", "flashdesk-none"),
       {},
       "(Qt's platform plugin 'flashdesk-none' could not start)"},
      {"the same named by -platform",
       environment,
       {"-platform", "flashdesk-none"},
       "(Qt's platform plugin 'flashdesk-none' could not start)"},
  };
  for (const auto& example : cases) {
    const Ended ended = Start(example.arguments, example.used);
    EXPECT_EQ(ended.exitCode, 1) << example.label << ended.errors;
    EXPECT_THAT(ended.errors, StartsWith("flashdesk: no display ")) << example.label;
    EXPECT_THAT(ended.errors, HasSubstr(example.why)) << example.label << ended.errors;
    EXPECT_THAT(ended.errors, HasSubstr("; use flashdesk-cli from a terminal\n")) << example.label;
    ExpectOneLine(ended, example.label);
  }
}

// Judged before the display, so a terminal without one hears about the mistake.
TEST_F(WindowStart, CommandLineMistakesEndWithStatusTwoAndNameTheMistake) {
  const struct {
    QStringList arguments;
    const char* named;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--bogus=3"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-platform", "offscreen", "--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--help", "--frobnicate"}, "unknown option '--frobnicate'"},
      {{"firmware.syx"}, "unexpected argument 'firmware.syx'"},
      {{"-platform"}, "missing value after '-platform'"},
  };
  for (const auto& example : cases) {
    const std::string label = example.arguments.join(' ').toStdString();
    const Ended ended = Start(example.arguments, environment);
    EXPECT_EQ(ended.exitCode, 2) << label << ended.errors;
    EXPECT_EQ(ended.errors, std::string("flashdesk: ") + example.named + "; see flashdesk --help\n")
        << label;
    ExpectOneLine(ended, label);
  }
}

TEST_F(WindowStart, HelpAndVersionNeedNoDisplay) {
  for (const char* option : {"-h", "--help"}) {
    const Ended ended = Start({option}, environment);
    EXPECT_EQ(ended.exitCode, 0) << option << ended.errors;
    EXPECT_THAT(ended.output, StartsWith("Usage: flashdesk [OPTION]...\n")) << option;
    EXPECT_THAT(ended.output, HasSubstr("--platform <NAME>")) << option;
  }
  for (const char* option : {"-v", "-V", "--version"}) {
    const Ended ended = Start({option}, environment);
    EXPECT_EQ(ended.exitCode, 0) << option << ended.errors;
    EXPECT_EQ(ended.output, "flashdesk " FLASHDESK_VERSION "\n") << option;
  }
}

// The GUI tests and the walkthroughs depend on it: a platform that needs no display starts
// the window, which then runs until it is closed.
TEST_F(WindowStart, OffscreenOrAPlatformOptionOpensTheWindow) {
  const struct {
    const char* label;
    QProcessEnvironment used;
    QStringList arguments;
  } cases[] = {
      {"QT_QPA_PLATFORM=offscreen", With("QT_QPA_PLATFORM", "offscreen"), {}},
      {"-platform offscreen", environment, {"-platform", "offscreen"}},
      {"--platform offscreen beside a display nobody serves",
       With("DISPLAY", ":flashdesk-none"),
       {"--platform", "offscreen"}},
  };
  for (const auto& example : cases) {
    const Ended ended = Start(example.arguments, example.used, 3000);
    EXPECT_FALSE(ended.finished) << example.label << " ended with " << ended.exitCode << ": "
                                 << ended.errors;
    EXPECT_THAT(ended.errors, Not(HasSubstr("no display"))) << example.label;
  }
}

}  // namespace
