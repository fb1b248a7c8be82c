#pragma once

#include <QStringList>
#include <functional>
#include <istream>
#include <ostream>

#include "platform/Clock.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"

namespace flashdesk {
class SpeakerNetwork;
}

namespace flashdesk::cli {

// Exit statuses of flashdesk-cli.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// What a run of the command line works with; main() passes the real ones, tests their own.
struct CliEnvironment {
  platform::SerialApi& serial;
  platform::Clock& clock;
  platform::SettingsStore& settings;
  std::istream& input;
  std::ostream& output;
  std::ostream& errors;
  bool errorsIsTerminal = false;
  // Given the engine while an upload runs and nullptr after it, so that an interrupt can stop
  // the upload cleanly (SpeakerNetwork::RequestAbort).
  std::function<void(SpeakerNetwork*)> watchInterrupt;
};

// Runs flashdesk-cli with arguments (the program name first) and returns its exit status.
int RunCommandLine(const QStringList& arguments, CliEnvironment& environment);

}  // namespace flashdesk::cli
