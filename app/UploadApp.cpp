#include "app/UploadApp.h"

#include "app/QtPrompts.h"
#include "app/QtSettingsStore.h"
#include "app/UploadDialog.h"
#include "platform/Clock.h"
#include "platform/SerialApi.h"

namespace flashdesk {

UploadApp::UploadApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("FlashDesk"));
  setApplicationVersion(QStringLiteral("1.0"));
}

int UploadApp::InitInstance() {
  QtSettingsStore settings;
  QtPrompts prompts;
  const EngineServices services{platform::SystemSerialApi(), platform::SystemClock(), settings,
                                prompts};
  UploadDialog dialog(services);
  dialog.exec();
  return 0;
}

}  // namespace flashdesk
