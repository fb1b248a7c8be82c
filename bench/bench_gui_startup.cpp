// Start-up to the first painted frame: the time from starting the program until its main
// window has painted for the first time, program loading included. The benchmark runs itself
// as the program (with --child) several times and takes the median.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "bench/bench_gui_window.h"
#include "testing/SimulatedSetup.h"

extern char** environ;

namespace {

constexpr const char* kPaintedLine = "painted\n";

// Says on stdout when the window has painted once, then ends the program.
class FirstPaintWatcher : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen) {
      seen = true;
      // After this paint has run to its end.
      QTimer::singleShot(0, [] {
        std::fputs(kPaintedLine, stdout);
        std::fflush(stdout);
        QApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen = false;
};

int RunWindow(int argc, char** argv) {
  using namespace flashdesk;
  QApplication app(argc, argv);
  testing_support::SimulatedSetup setup;
  MainDialog dialog(setup.Services());
  FirstPaintWatcher watcher;
  dialog.installEventFilter(&watcher);
  dialog.show();
  return QApplication::exec();
}

// Milliseconds from spawning the window program until it reports its first paint; -1 on
// failure.
double TimeOneStart(const char* program) {
  int output[2];
  if (pipe(output) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  char child[] = "--child";
  char* const arguments[] = {const_cast<char*>(program), child, nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program, &actions, nullptr, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  if (spawned != 0) {
    close(output[0]);
    return -1;
  }
  std::string said;
  char buffer[64];
  double elapsed = -1;
  for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
    said.append(buffer, static_cast<std::size_t>(got));
    if (said.find(kPaintedLine) != std::string::npos) {
      elapsed = flashdesk::bench::MillisecondsSince(start);
      break;
    }
  }
  close(output[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  flashdesk::bench::UseOffscreenByDefault();
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
    return RunWindow(argc, argv);

  constexpr int kRuns = 11;
  std::vector<double> samples;
  for (int i = 0; i < kRuns; ++i) {
    const double elapsed = TimeOneStart("/proc/self/exe");
    if (elapsed < 0) {
      std::fprintf(stderr, "the window program did not start or paint\n");
      return 1;
    }
    samples.push_back(elapsed);
  }
  std::printf("%d starts\n", kRuns);
  flashdesk::bench::Report("start-up to first painted frame, slowest",
                           flashdesk::bench::Percentile(samples, 1.0), "ms", 300);
  return flashdesk::bench::Report("start-up to first painted frame, median",
                                  flashdesk::bench::Percentile(samples, 0.5), "ms", 300)
             ? 0
             : 1;
}
