// Resident memory of the idle main window after a scan, offscreen.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/bench_gui_window.h"
#include "tools/SampleWindow.h"

namespace {

// A "VmRSS:"-style line of /proc/self/status in megabytes; -1 when it cannot be read.
double StatusMegabytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0)
      return std::stod(line.substr(key.size())) / 1024;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace flashdesk;
  bench::UseOffscreenByDefault();
  QApplication app(argc, argv);
  const gui_testing::SampleWindow sample;

  // Let the window sit idle for a second, as a user reading the list would.
  QEventLoop idle;
  QTimer::singleShot(1000, &idle, &QEventLoop::quit);
  idle.exec();

  std::printf("platform %s\n", qPrintable(QApplication::platformName()));
  bench::Report("peak resident memory", StatusMegabytes("VmHWM:"), "MB", 60);
  return bench::Report("resident memory of the idle window", StatusMegabytes("VmRSS:"), "MB", 60)
             ? 0
             : 1;
}
