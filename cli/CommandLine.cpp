#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "application/Session.h"
#include "cli/PortCommands.h"
#include "cli/RecordCommands.h"
#include "cli/SpeakerListing.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalPrompts.h"
#include "platform/PortTemplate.h"
#include "resources/Strings.h"

namespace flashdesk::cli {

namespace {

constexpr const char* kProgramName = "flashdesk-cli";

// Runs the scan and lists what it found.
application::ScanResult ScanAndList(application::Session& session, CliEnvironment& environment) {
  environment.errors << "Searching for the speaker network...\n" << std::flush;
  application::ScanResult result = session.Scan();
  if (result.port.path.empty()) {
    environment.output << "Port: none\nNo speakers found.\n" << std::flush;
    ExplainNoSpeakers(result.found, environment);
    return result;
  }
  environment.output << "Port: " << PortText(result.port)
                     << "\nSpeakers: " << result.found.bus.speakers.size() << '\n';
  for (const SpeakerRecord& speaker : result.found.bus.speakers)
    environment.output << "  " << DescribeSpeaker(speaker) << '\n';
  environment.output << std::flush;
  NoteScanLimits(result.found, environment);
  return result;
}

// In the report's own layout: the report names only speakers that answered.
void ListSilentSpeakers(const std::vector<std::uint32_t>& serials, CliEnvironment& environment) {
  if (!serials.empty()) {
    environment.output << (serials.size() < 10 ? " " : "") << serials.size()
                       << " Identified Speaker(s) Never Answered:\n";
  }
  for (const std::uint32_t serial : serials)
    environment.output << "    - Serial: " << serial << '\n';
  environment.output << std::flush;
}

int UsageError(CliEnvironment& environment, const std::string& message) {
  environment.errors << kProgramName << ": " << message << "\nRun '" << kProgramName
                     << " --help' for usage.\n"
                     << std::flush;
  return kExitUsage;
}

// Checked before the minute-long scan; what is wrong with the image, or empty. refusal gets
// the session's own reason.
std::string CheckImage(const std::string& path, std::string& refusal) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  // Only the type is asked for: opening a FIFO would wait for a writer.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return "cannot read firmware file '" + path + "': not a regular file";
  if (error || !std::ifstream(path, std::ios::binary).is_open())
    return "cannot read firmware file '" + path + "'";
  refusal = application::Session::Refusal(path);
  if (!refusal.empty()) {
    return "'" + path + "' is not a firmware image: it needs a 7-byte header with bytes 0 to " +
           "2 below 0x80 and 1 to 2097151 bytes of payload";
  }
  return "";
}

int RunScan(application::Session& session, CliEnvironment& environment, const CliOptions&) {
  const application::ScanResult result = ScanAndList(session, environment);
  PrintScanDocument(result, environment);
  return result.speakers.empty() ? kExitFailure : kExitSuccess;
}

int RunUpload(application::Session& session, CliEnvironment& environment,
              const CliOptions& options) {
  std::string refusal;
  const std::string problem = CheckImage(options.imagePath, refusal);
  if (!problem.empty()) {
    PrintRefusedUpload(environment, options.imagePath, refusal.empty() ? problem : refusal);
    return UsageError(environment, problem);
  }
  ScanAndList(session, environment);
  TerminalProgress progress(environment.errors, environment.errorsIsTerminal);
  session.SetProgressTarget(&progress);
  if (environment.watchInterrupt)
    environment.watchInterrupt(&session);
  const application::UploadResult result =
      session.Upload(options.imagePath, [&](const application::UploadResult& shown) {
        if (environment.watchInterrupt)
          environment.watchInterrupt(nullptr);
        if (!shown.facts.refusal.empty())
          environment.errors << kProgramName << ": " << shown.facts.refusal << '\n' << std::flush;
        progress.ReportProgress(100);
        progress.Finish();
        environment.output << shown.facts.status << '\n' << shown.report;
        ListSilentSpeakers(shown.silentSpeakers, environment);
      });
  session.SetProgressTarget(nullptr);
  PrintUploadDocument(result, environment);
  // The status line is the window's; a script must still not take "nobody took it" as success.
  if (result.nobodyTookIt)
    environment.errors << kProgramName << ": no speaker took the image\n" << std::flush;
  return result.facts.succeeded ? kExitSuccess : kExitFailure;
}

int RunExit(application::Session& session, CliEnvironment& environment, const CliOptions&) {
  ScanAndList(session, environment);
  environment.output << strings::kClosingStatus << '\n' << std::flush;
  const application::ExitResult result = session.Exit();
  environment.output << (result.allowed ? "Speakers sent to Application mode; port closed."
                                        : strings::kIdleStatus)
                     << '\n'
                     << std::flush;
  PrintExitDocument(result, environment);
  return result.allowed ? kExitSuccess : kExitFailure;
}

void AddImageArgument(CLI::App& command, CliOptions& options) {
  command.add_option("FILE", options.imagePath);
}

// The commands; each checks its own arguments, then scans, as the window does at start-up.
struct Command {
  const char* name;
  const char* usage;  // as the help lists it
  const char* summary;
  // Adds the command's own arguments; null when it has none.
  void (*addArguments)(CLI::App& command, CliOptions& options);
  int (*run)(application::Session& session, CliEnvironment& environment, const CliOptions& options);
};

constexpr Command kCommands[] = {
    {"scan", "scan", "list the port found and every speaker with its software versions", nullptr,
     RunScan},
    {"upload", "upload FILE", "upload the .syx image FILE to every speaker", AddImageArgument,
     RunUpload},
    {"exit", "exit", "check the speakers' software and return them to Application mode", nullptr,
     RunExit},
    {"ports", "ports", "list the serial devices and the port number each is searched under",
     nullptr, RunPorts},
    {"info", "info FILE", "describe what uploading FILE would send, without touching a port",
     AddImageArgument, RunInfo},
    {"history", "history", "list the recorded uploads (--serial N: those to speaker N)", nullptr,
     RunHistory},
};

std::string Description() {
  std::string text =
      "Uploads firmware to the TARN speakers on a serial bus.\n\n"
      "Commands (scan, upload and exit first search the ports for the speaker network):\n";
  for (const Command& command : kCommands) {
    std::string usage = command.usage;
    usage.resize(std::max<std::size_t>(usage.size(), 11), ' ');
    text += "  " + usage + "  " + command.summary + "\n";
  }
  return text;
}

// Usage line first, then the commands and the options.
class HelpFormat : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    return "Usage: " + name + " [options] command [FILE]\n" + app->get_description() +
           make_groups(app, mode);
  }
};

enum class Parsed { kRun, kAnswered, kMistake };

// Reads the arguments into options. For kAnswered, text is the help or version to print;
// for kMistake, what is wrong.
// The options every command shares, then the commands with their own arguments.
void DescribeArguments(CLI::App& parser, CliOptions& options, bool& showVersion) {
  auto format = std::make_shared<HelpFormat>();
  format->column_width(23);
  parser.formatter(format);
  parser.set_help_flag("-h,--help", "print this help");
  parser.add_flag("-y,--yes", options.assumeYes,
                  "exit: answer Yes to the question about missing software");
  parser
      .add_option("--port-template", options.portTemplate,
                  std::string("device path of port N with one %i (overrides\n") +
                      platform::kPortTemplateVariable + "; default " +
                      platform::DefaultPortTemplate() + ")")
      ->type_name("T");
  parser.add_flag("--json", options.json,
                  "print one JSON document on stdout; all other text goes to stderr");
  parser.add_option("--serial", options.serial, "history: only the uploads to speaker N")
      ->type_name("N");
  parser.add_option("--port", options.port, "search only the device PATH (scan, upload, exit)")
      ->type_name("PATH");
  parser.add_flag("-v,--version", showVersion, "print the version");
  // Options stand before or after the command; mistakes get our own words below.
  parser.fallthrough();
  parser.allow_extras();
  parser.require_subcommand(0, 1);
  for (const Command& command : kCommands) {
    CLI::App* subcommand = parser.add_subcommand(command.name, command.summary);
    subcommand->group("");  // listed in the description
    if (command.addArguments)
      command.addArguments(*subcommand, options);
  }
}

// Sets options.command from what the parser left over; the mistake, or empty.
std::string ChooseCommand(const CLI::App& parser, CliOptions& options) {
  const std::vector<CLI::App*>& chosen = parser.get_subcommands();
  std::vector<std::string> extras = parser.remaining();
  for (const CLI::App* subcommand : chosen) {
    const std::vector<std::string> more = subcommand->remaining();
    extras.insert(extras.end(), more.begin(), more.end());
  }
  extras.erase(std::remove(extras.begin(), extras.end(), "--"), extras.end());
  if (!extras.empty() && extras.front().rfind("-", 0) == 0)
    return "unknown option '" + extras.front() + "'";
  if (!extras.empty())
    return (chosen.empty() ? "unknown command '" : "unexpected argument '") + extras.front() + "'";
  if (chosen.empty())
    return "no command given";
  options.command = chosen.front()->get_name();
  return "";
}

// What the chosen command lacks or cannot take, or empty.
std::string MisplacedOption(const CliOptions& options) {
  if (options.command == "upload" && options.imagePath.empty())
    return "upload needs the firmware FILE";
  if (options.command == "info" && options.imagePath.empty())
    return "info needs the FILE";
  if (options.assumeYes && options.command != "exit")
    return "--yes applies to exit only";
  if (options.serial && options.command != "history")
    return "--serial applies to history only";
  if (options.port &&
      (options.command == "ports" || options.command == "info" || options.command == "history"))
    return "--port applies to scan, upload and exit";
  return "";
}

Parsed ParseArguments(const std::vector<std::string>& arguments, CliOptions& options,
                      std::string& text) {
  CLI::App parser(Description(), kProgramName);
  bool showVersion = false;
  DescribeArguments(parser, options, showVersion);
  std::vector<const char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  try {
    parser.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp&) {
    text = parser.help();
    return Parsed::kAnswered;
  } catch (const CLI::ParseError& error) {
    text = error.what();
    return Parsed::kMistake;
  }
  if (showVersion) {
    text = std::string(kProgramName) + " " + FLASHDESK_VERSION + "\n";
    return Parsed::kAnswered;
  }
  text = ChooseCommand(parser, options);
  if (text.empty())
    text = MisplacedOption(options);
  return text.empty() ? Parsed::kRun : Parsed::kMistake;
}

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
  CliEnvironment run = options.json ? JsonEnvironment(environment, json) : environment;
  TerminalPrompts prompts(run.input, run.output, options.assumeYes);
  application::Session session({run.serial, run.clock, run.settings, prompts});
  session.PinPort(options.port);
  const Command* command =
      std::find_if(std::begin(kCommands), std::end(kCommands),
                   [&options](const Command& known) { return options.command == known.name; });
  return command->run(session, run, options);
}

}  // namespace flashdesk::cli
