#include "app/UploadApp.h"

#include <optional>
#include <string>

#include "app/QtPrompts.h"
#include "app/UploadDialog.h"
#include "platform/Clock.h"
#include "platform/PortTemplate.h"
#include "platform/SerialApi.h"

namespace flashdesk {

UploadApp::UploadApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("FlashDesk"));
  setApplicationVersion(QStringLiteral("1.0"));
}

int UploadApp::InitInstance() {
  QtPrompts prompts;
  // A mistyped port template would otherwise end in "No Speakers Found..." with no reason.
  std::string problem;
  const std::optional<std::string> portTemplate = platform::EnvironmentPortTemplate(problem);
  if (!portTemplate) {
    prompts.ShowMessage(problem);
    return 1;
  }
  platform::SystemSerialApi().SetPortTemplate(*portTemplate);
  const auto settings = platform::UserSettingsStore();
  const EngineServices services{platform::SystemSerialApi(), platform::SystemClock(), *settings,
                                prompts};
  UploadDialog dialog(services);
  dialog.exec();
  return 0;
}

}  // namespace flashdesk
