#include <QGuiApplication>
#include <cstdio>
#include <memory>

#include "app/Startup.h"
#include "app/UploadApp.h"

namespace {

void Print(const QString& text, std::FILE* stream) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts: QApplication aborts when no platform plugin can start, and
  // help2man and users on a text console need --help and --version.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  const flashdesk::StartRequest request = flashdesk::ParseCommandLine(arguments);
  switch (request.action) {
    case flashdesk::StartRequest::Action::kHelp:
    case flashdesk::StartRequest::Action::kVersion:
      Print(request.text, stdout);
      return 0;
    case flashdesk::StartRequest::Action::kMistake:
      Print(request.text + QLatin1Char('\n'), stderr);
      return flashdesk::kExitUsage;
    case flashdesk::StartRequest::Action::kRun:
      break;
  }
  const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  const QString missing = flashdesk::MissingDisplay(request.platform, environment);
  if (!missing.isEmpty()) {
    Print(missing + QLatin1Char('\n'), stderr);
    return flashdesk::kExitNoDisplay;
  }

  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(FLASHDESK_APP_ID));
  std::unique_ptr<flashdesk::UploadApp> app;
  {
    const flashdesk::PlatformStartGuard guard(
        flashdesk::DisplayFailed(request.platform, environment));
    app = std::make_unique<flashdesk::UploadApp>(argc, argv);
  }
  return app->InitInstance();
}
