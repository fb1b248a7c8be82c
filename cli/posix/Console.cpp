#include <unistd.h>

#include <csignal>

#include "cli/Console.h"

namespace flashdesk::cli {
namespace {

void OnInterrupt(int signalNumber) {
  if (StopUploadOnInterrupt())
    return;
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void CatchInterrupts(bool on) {
  std::signal(SIGINT, on ? OnInterrupt : SIG_DFL);
}

bool ErrorsGoToTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

}  // namespace flashdesk::cli
