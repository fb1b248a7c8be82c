#include "cli/CommandLine.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <streambuf>

#include "application/Session.h"
#include "cli/Arguments.h"
#include "cli/BusCommands.h"
#include "cli/FrameTrace.h"
#include "cli/PortCommands.h"
#include "cli/RecordCommands.h"
#include "cli/TerminalPrompts.h"
#include "platform/PortTemplate.h"
#include "platform/Trace.h"

namespace flashdesk::cli {

namespace {

struct Command {
  const char* name;
  int (*run)(application::Session& session, CliEnvironment& environment, const CliOptions& options);
};

constexpr Command kCommands[] = {
    {"scan", RunScan},   {"flash", RunFlash}, {"upload", RunUpload},   {"exit", RunExit},
    {"ports", RunPorts}, {"info", RunInfo},   {"history", RunHistory},
};

// Hands the port template to the serial layer; what is wrong with it, or empty.
std::string UsePortTemplate(const CliOptions& options, platform::SerialApi& serial) {
  if (options.portTemplate) {
    return serial.SetPortTemplate(*options.portTemplate)
               ? ""
               : "--port-template needs exactly one %i, got '" + *options.portTemplate + "'";
  }
  std::string problem;
  const std::optional<std::string> configured = platform::EnvironmentPortTemplate(problem);
  if (configured)
    serial.SetPortTemplate(*configured);
  return problem;
}

// Where --quiet sends what it keeps to itself.
class Discard : public std::streambuf {
 protected:
  int overflow(int character) override { return traits_type::not_eof(character); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// The text of the run kept back; its one final line goes where the text would have gone.
CliEnvironment QuietEnvironment(const CliEnvironment& environment, std::ostream& keptBack) {
  return {environment.serial,
          environment.clock,
          environment.settings,
          environment.input,
          keptBack,
          environment.errors,
          environment.errorsIsTerminal,
          environment.watchInterrupt,
          environment.json,
          environment.discoveryRoots,
          &environment.output};
}

// The trace goes to the error output for the run, and back to its default after it.
class VerboseTrace {
 public:
  VerboseTrace(bool on, std::ostream& errors) : on(on) {
    if (on)
      platform::SetTraceSink([&errors](const std::string& line) {
        errors << line << (line.empty() || line.back() != '\n' ? "\n" : "") << std::flush;
      });
  }
  VerboseTrace(const VerboseTrace&) = delete;
  VerboseTrace& operator=(const VerboseTrace&) = delete;
  ~VerboseTrace() {
    if (on)
      platform::SetTraceSink({});
  }

 private:
  bool on;
};

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, CliEnvironment& environment) {
  CliOptions options;
  std::string text;
  switch (ParseArguments(arguments, options, text)) {
    case Parsed::kAnswered:
      environment.output << text << std::flush;
      return kExitSuccess;
    case Parsed::kMistake:
      return UsageError(environment, text);
    case Parsed::kRun:
      break;
  }
  text = UsePortTemplate(options, environment.serial);
  if (!text.empty())
    return UsageError(environment, text);

  JsonOutput json{environment.output};
  const CliEnvironment plain = options.json ? JsonEnvironment(environment, json) : environment;
  Discard discarded;
  std::ostream keptBack(&discarded);
  CliEnvironment run = options.quiet ? QuietEnvironment(plain, keptBack) : plain;
  std::unique_ptr<FrameTrace> frames;
  if (options.traceFrames)
    frames = std::make_unique<FrameTrace>(run.serial, run.clock, run.errors);
  const VerboseTrace trace(options.verbose, run.errors);
  // Questions are asked where the text would go, even when --quiet keeps the text back.
  TerminalPrompts prompts(run.input, plain.output, options.assumeYes);
  platform::SerialApi& serial = frames ? *frames : run.serial;
  application::Session session({serial, run.clock, run.settings, prompts});
  session.PinPort(options.port);
  const Command* command =
      std::find_if(std::begin(kCommands), std::end(kCommands),
                   [&options](const Command& known) { return options.command == known.name; });
  return command->run(session, run, options);
}

}  // namespace flashdesk::cli
