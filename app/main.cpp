#include <cstdio>
#include <cstring>

#include "app/UploadApp.h"

namespace {

constexpr const char* kUsage =
    "Usage: flashdesk [OPTION]...\n"
    "Uploads firmware to the TARN loudspeakers on a serial bus, in a window.\n"
    "\n"
    "At start-up the window searches serial ports 0 to 10 for the speakers, the port that\n"
    "worked last time first, and lists the speaker models. The firmware list shows the .syx\n"
    "files of the firmware folder that fit the chosen model; UPLOAD sends the ticked file to\n"
    "every speaker at once and adds a line to the upload history. Exit returns the speakers\n"
    "to Application mode. The firmware folder is syx of the working directory until another\n"
    "is chosen in the right-click menu; .syx files dropped on the window are copied into it.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this text and exit\n"
    "  -v, --version  print the version and exit\n"
    "Qt's own options, such as -platform NAME, are accepted as well.\n";

bool Asks(int argc, char** argv, const char* shortName, const char* longName) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], shortName) == 0 || std::strcmp(argv[i], longName) == 0)
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts: its platform plugin aborts on a terminal without a display.
  if (Asks(argc, argv, "-h", "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (Asks(argc, argv, "-v", "--version")) {
    std::printf("flashdesk %s\n", FLASHDESK_VERSION);
    return 0;
  }
  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(FLASHDESK_APP_ID));
  flashdesk::UploadApp app(argc, argv);
  return app.InitInstance();
}
