// Full repaint of the main window after a scan: the skin, captions, help page, status line,
// progress bar and both lists with their entries, drawn offscreen.

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/bench_gui_window.h"
#include "tests/app/GuiTestSupport.h"
#include "tools/SampleWindow.h"

int main(int argc, char** argv) {
  using namespace flashdesk;
  bench::UseOffscreenByDefault();
  QApplication app(argc, argv);
  gui_testing::SampleWindow sample;
  MainDialog& dialog = sample.dialog;
  dialog.Model().Progress().ReportProgress(50);
  QApplication::processEvents();

  gui_testing::PaintCounter counter;
  dialog.installEventFilter(&counter);
  constexpr int kWarmUp = 20;
  constexpr int kSamples = 300;
  std::vector<double> repaint;
  std::vector<double> grab;
  for (int i = 0; i < kWarmUp + kSamples; ++i) {
    auto start = std::chrono::steady_clock::now();
    dialog.repaint();
    const double repaintMs = bench::MillisecondsSince(start);
    start = std::chrono::steady_clock::now();
    const QPixmap picture = dialog.grab();
    const double grabMs = bench::MillisecondsSince(start);
    if (i >= kWarmUp) {
      repaint.push_back(repaintMs);
      grab.push_back(grabMs);
    }
  }
  std::printf("%d samples each, %d paints of the window\n", kSamples, counter.paints);
  if (counter.paints < 2 * (kWarmUp + kSamples)) {
    std::fprintf(stderr, "the window was not painted every time\n");
    return 1;
  }
  bench::Report("grab of the whole window, 90th percentile", bench::Percentile(grab, 0.9), "ms", 5);
  bench::Report("grab of the whole window, median", bench::Percentile(grab, 0.5), "ms", 5);
  bench::Report("repaint into the backing store, 90th percentile", bench::Percentile(repaint, 0.9),
                "ms", 5);
  return bench::Report("repaint into the backing store, median", bench::Percentile(repaint, 0.5),
                       "ms", 5)
             ? 0
             : 1;
}
