#include "app/UploadApp.h"

#include <string>

#include "app/MainDialog.h"
#include "app/QtPrompts.h"
#include "platform/Clock.h"
#include "platform/SerialApi.h"

namespace flashdesk {

UploadApp::UploadApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("FlashDesk"));
  setApplicationVersion(QStringLiteral("1.0"));
}

int UploadApp::InitInstance() {
  QtPrompts prompts;
  const std::string problem = window::UploadDialog::UsePortTemplate(platform::SystemSerialApi());
  if (!problem.empty()) {
    prompts.ShowMessage(problem);
    return 1;
  }
  const auto settings = platform::UserSettingsStore();
  const EngineServices services{platform::SystemSerialApi(), platform::SystemClock(), *settings,
                                prompts};
  MainDialog dialog(services);
  dialog.exec();
  return 0;
}

}  // namespace flashdesk
