#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/PortDiscovery.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"

namespace flashdesk::application {
class Session;
}

namespace flashdesk::cli {

struct JsonOutput;

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
  // Given the session while an upload runs and nullptr after it, so that an interrupt can stop
  // the upload cleanly (Session::RequestAbort).
  std::function<void(application::Session*)> watchInterrupt;
  // Set for a --json run, whose output then is the errors: where the one document goes.
  JsonOutput* json = nullptr;
  // Where the ports command and the hints after a failed search look for serial devices.
  platform::DiscoveryRoots discoveryRoots;
  // Set for a --quiet run, whose output then goes nowhere: where the one final line goes.
  std::ostream* summary = nullptr;
};

// What the command line asks for, read and checked before any port is touched.
struct CliOptions {
  std::string command;     // a name from the command table
  std::string imagePath;   // flash, upload, info: the file, its name's bytes as given
  bool assumeYes = false;  // exit, flash: answer Yes to the question
  std::optional<std::string> portTemplate;  // --port-template
  bool json = false;                        // --json: one JSON document on the output
  std::optional<std::uint32_t> serial;      // history: only the uploads to this speaker
  std::optional<std::string> port;          // --port: the only device searched
  bool force = false;                       // upload, flash: send what the pre-flight check refuses
  bool verify = false;       // upload: identify again afterwards and compare versions
  bool verbose = false;      // the trace on the error output
  bool traceFrames = false;  // every frame on the error output, timed, in hex
  bool quiet = false;        // only errors and one final line
};

// Runs flashdesk-cli with arguments (the program name first) and returns its exit status.
int RunCommandLine(const std::vector<std::string>& arguments, CliEnvironment& environment);

}  // namespace flashdesk::cli
