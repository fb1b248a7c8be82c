#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The window program's command line and the checks made before Qt opens a window. Nothing
// here needs an application object, so it runs on a terminal without any display.
namespace flashdesk {

constexpr int kExitUsage = 2;
constexpr int kExitNoDisplay = 1;

struct StartRequest {
  enum class Action { kRun, kHelp, kVersion, kMistake };
  Action action = Action::kRun;
  // kHelp, kVersion: the text for stdout; kMistake: the one line for stderr.
  QString text;
  // The -platform option's value, empty when not given.
  QString platform;
};

// arguments as main received them, the program's path first.
StartRequest ParseCommandLine(const QStringList& arguments);

// The line for stderr when no window can open here, judged from the environment alone;
// empty when Qt should try. platform is the -platform option's value.
QString MissingDisplay(const QString& platform, const QProcessEnvironment& environment);

// The line for stderr when Qt's platform plugin could not start after all.
QString DisplayFailed(const QString& platform, const QProcessEnvironment& environment);

// Lives while the application object is made. Qt's messages meanwhile are held and passed on
// afterwards; a fatal one (no platform plugin could start) prints failureLine alone, with
// Qt's own words only under FLASHDESK_TRACE=1, and ends the program with kExitNoDisplay
// instead of Qt's abort. One at a time.
class PlatformStartGuard {
 public:
  explicit PlatformStartGuard(const QString& failureLine);
  ~PlatformStartGuard();
  PlatformStartGuard(const PlatformStartGuard&) = delete;
  PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

}  // namespace flashdesk
