#pragma once

#include <QApplication>

namespace flashdesk {

// The program: runs the main window once against the real serial ports, settings and
// message boxes; the program ends when the window does.
class UploadApp : public QApplication {
  Q_OBJECT

 public:
  UploadApp(int& argc, char** argv);
  // Shows the window until it is closed; the exit status.
  int InitInstance();
};

}  // namespace flashdesk
