#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <iostream>

#include "app/QtSettingsStore.h"
#include "cli/CommandLine.h"
#include "engine/SpeakerNetwork.h"

namespace {

std::atomic<flashdesk::SpeakerNetwork*> interruptTarget{nullptr};
static_assert(std::atomic<flashdesk::SpeakerNetwork*>::is_always_lock_free,
              "read in a signal handler");

// The first interrupt stops an upload before its next block, as the window's exit does, so the
// run ends with an honest failure report. A second interrupt ends the program at once.
void OnInterrupt(int signalNumber) {
  flashdesk::SpeakerNetwork* target = interruptTarget.load();
  if (target && !target->AbortRequested()) {
    target->RequestAbort();
    return;
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void WatchInterrupt(flashdesk::SpeakerNetwork* engine) {
  interruptTarget.store(engine);
  std::signal(SIGINT, engine ? OnInterrupt : SIG_DFL);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName("flashdesk-cli");
  QCoreApplication::setApplicationVersion(FLASHDESK_VERSION);

  flashdesk::QtSettingsStore settings;
  flashdesk::cli::CliEnvironment environment{flashdesk::platform::SystemSerialApi(),
                                             flashdesk::platform::SystemClock(),
                                             settings,
                                             std::cin,
                                             std::cout,
                                             std::cerr,
                                             isatty(STDERR_FILENO) == 1,
                                             WatchInterrupt};
  return flashdesk::cli::RunCommandLine(QCoreApplication::arguments(), environment);
}
