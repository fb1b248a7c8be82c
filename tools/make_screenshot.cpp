// Renders the main window after a scan of simulated speakers and saves it as a PNG:
//   flashdesk-make-screenshot OUTPUT.png
// The speakers answer on a virtual serial line; the firmware list comes from sample file names
// in a scratch folder.

#include <QApplication>
#include <QFileInfo>
#include <cstdio>

#include "tools/SampleWindow.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  flashdesk::gui_testing::SampleWindow sample;
  for (const std::string& message : sample.sample.setup.prompts.messages) {
    std::fprintf(stderr, "%s\n", message.c_str());
  }
  if (!sample.dialog.grab().save(output)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
    return 1;
  }
  return 0;
}
