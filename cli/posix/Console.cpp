#include <unistd.h>

#include <csignal>

#include "cli/Console.h"

namespace flashdesk::cli {
namespace {

void OnInterrupt(int signalNumber) {
  if (StopUploadOnInterrupt()) {
    // write() is safe in a handler, a stream is not; a lost note changes nothing.
    [[maybe_unused]] const ssize_t written =
        write(STDERR_FILENO, kStoppingNote, sizeof kStoppingNote - 1);
    return;
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void CatchInterrupts(bool on) {
  // A closed terminal and a stopped service end the upload as Ctrl-C does, with a report.
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
    std::signal(signalNumber, on ? OnInterrupt : SIG_DFL);
}

bool ErrorsGoToTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

}  // namespace flashdesk::cli
