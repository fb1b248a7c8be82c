#include "cli/Arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "platform/PortTemplate.h"

namespace flashdesk::cli {
namespace {

struct CommandHelp {
  const char* name;
  const char* usage;  // as the help lists it
  const char* summary;
  bool takesFile;
};

constexpr CommandHelp kCommands[] = {
    {"scan", "scan", "list the port found and every speaker with its software versions", false},
    {"flash", "flash FILE",
     "the whole job: search, check, upload FILE, verify, exit checks, speakers back in "
     "Application mode",
     true},
    {"upload", "upload FILE", "upload the .syx image FILE to every speaker", true},
    {"exit", "exit", "check the speakers' software and return them to Application mode", false},
    {"ports", "ports", "list the serial devices and the port number each is searched under", false},
    {"info", "info FILE", "describe what uploading FILE would send, without touching a port", true},
    {"history", "history", "list the recorded uploads (--serial N: those to speaker N)", false},
};

std::string Description() {
  std::string text =
      "Uploads firmware to the TARN speakers on a serial bus.\n\n"
      "Commands (scan, flash, upload and exit first search the ports for the speaker network):\n";
  for (const CommandHelp& command : kCommands) {
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

// The options every command shares, then the commands with their own arguments.
void DescribeArguments(CLI::App& parser, CliOptions& options, bool& showVersion) {
  auto format = std::make_shared<HelpFormat>();
  format->column_width(23);
  parser.formatter(format);
  parser.set_help_flag("-h,--help", "print this help");
  parser.add_flag("-y,--yes", options.assumeYes,
                  "exit, flash: answer Yes to the question about missing software");
  parser.add_flag("--force", options.force,
                  "upload, flash: send a file whose model is not on the bus or whose name\n"
                  "the firmware list cannot read");
  parser.add_flag("--verify", options.verify,
                  "upload: identify again afterwards and compare versions (flash always does)");
  parser
      .add_option("--port-template", options.portTemplate,
                  std::string("device path of port N with one %i (overrides\n") +
                      platform::kPortTemplateVariable + "; default " +
                      platform::DefaultPortTemplate() + ")")
      ->type_name("T");
  parser
      .add_option("--port", options.port, "search only the device PATH (scan, flash, upload, exit)")
      ->type_name("PATH");
  parser.add_flag("--json", options.json,
                  "print one JSON document on stdout; all other text goes to stderr");
  parser.add_option("--serial", options.serial, "history: only the uploads to speaker N")
      ->type_name("N");
  parser.add_flag("-v,--verbose", options.verbose, "trace what FlashDesk does on stderr");
  parser.add_flag("--trace", options.traceFrames,
                  "print every frame sent and received on stderr, timed, in hex");
  parser.add_flag("-q,--quiet", options.quiet,
                  "scan, flash, upload, exit: print only errors and one final line");
  parser.add_flag("-V,--version", showVersion, "print the version");
  // Options stand before or after the command; mistakes get our own words below.
  parser.fallthrough();
  parser.allow_extras();
  parser.require_subcommand(0, 1);
  for (const CommandHelp& command : kCommands) {
    CLI::App* subcommand = parser.add_subcommand(command.name, command.summary);
    subcommand->group("");  // listed in the description
    if (command.takesFile)
      subcommand->add_option("FILE", options.imagePath);
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

bool OneOf(const std::string& command, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(),
                     [&command](const char* name) { return command == name; });
}

// What the chosen command lacks or cannot take, or empty.
std::string MisplacedOption(const CliOptions& options) {
  const std::string& command = options.command;
  if (OneOf(command, {"flash", "upload", "info"}) && options.imagePath.empty())
    return command + " needs the firmware FILE";
  if (options.assumeYes && !OneOf(command, {"exit", "flash"}))
    return "--yes applies to exit and flash only";
  if (options.force && !OneOf(command, {"upload", "flash"}))
    return "--force applies to upload and flash only";
  if (options.verify && command != "upload")
    return command == "flash" ? "flash always verifies; --verify applies to upload"
                              : "--verify applies to upload only";
  if (options.serial && command != "history")
    return "--serial applies to history only";
  if (options.port && !OneOf(command, {"scan", "flash", "upload", "exit"}))
    return "--port applies to scan, flash, upload and exit";
  if (options.quiet && options.verbose)
    return "--quiet and --verbose exclude each other";
  return "";
}

}  // namespace

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

}  // namespace flashdesk::cli
