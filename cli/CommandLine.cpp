#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cli/SpeakerListing.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalPrompts.h"
#include "engine/SpeakerNetwork.h"
#include "log/ErrorLog.h"
#include "platform/PortTemplate.h"
#include "resources/Strings.h"

namespace flashdesk::cli {

namespace {

constexpr const char* kProgramName = "flashdesk-cli";

int UsageError(CliEnvironment& environment, const std::string& message) {
  environment.errors << kProgramName << ": " << message << "\nRun '" << kProgramName
                     << " --help' for usage.\n"
                     << std::flush;
  return kExitUsage;
}

bool IsReadableFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return file.is_open();
}

// Runs the scan and lists what it found; true when speakers answered.
bool ScanAndList(SpeakerNetwork& engine, CliEnvironment& environment) {
  environment.errors << "Searching for the speaker network...\n" << std::flush;
  engine.ScanNetwork();
  const std::int32_t port = engine.PortNumber();
  if (port < 0) {
    environment.output << "Port: none\nNo speakers found.\n" << std::flush;
    return false;
  }
  environment.output << "Port: " << port << " ("
                     << environment.serial.PortPath(static_cast<std::int16_t>(port)) << ")\n"
                     << "Speakers: " << engine.SpeakerCount() << '\n';
  for (std::int32_t i = 0; i < engine.SpeakerCount(); ++i) {
    environment.output << "  " << DescribeSpeaker(engine.Speaker(i)) << '\n';
  }
  environment.output << std::flush;
  return engine.SpeakerCount() > 0;
}

int RunUpload(SpeakerNetwork& engine, CliEnvironment& environment, const std::string& path) {
  ScanAndList(engine, environment);
  TerminalProgress progress(environment.errors, environment.errorsIsTerminal);
  engine.SetProgressTarget(&progress);
  const std::int32_t savedPort = engine.ReadSavedPort();
  if (environment.watchInterrupt)
    environment.watchInterrupt(&engine);
  const bool uploaded = engine.Upload(path, savedPort);
  if (environment.watchInterrupt)
    environment.watchInterrupt(nullptr);
  engine.SetProgressTarget(nullptr);

  ErrorLog log;
  engine.CopyEvents(log);
  // A failed upload is never reported as complete, even when no speaker event arrived.
  const bool complete = uploaded && !log.HasUnfinishedSpeaker();
  std::string report;
  log.Report(report);
  progress.ReportProgress(100);
  progress.Finish();
  environment.output << (complete ? strings::kCompleteStatus : strings::kErrorsStatus) << '\n'
                     << report << std::flush;
  return complete ? kExitSuccess : kExitFailure;
}

int RunExit(SpeakerNetwork& engine, CliEnvironment& environment) {
  ScanAndList(engine, environment);
  environment.output << strings::kClosingStatus << '\n' << std::flush;
  if (engine.ConfirmExit()) {
    environment.output << "Speakers sent to Application mode; port closed.\n" << std::flush;
    return kExitSuccess;
  }
  environment.output << strings::kIdleStatus << '\n' << std::flush;
  return kExitFailure;
}

}  // namespace

int RunCommandLine(const QStringList& arguments, CliEnvironment& environment) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Uploads firmware to the TARN speakers on a serial bus.\n\n"
      "Commands (each first searches the ports for the speaker network):\n"
      "  scan         list the port found and every speaker with its software versions\n"
      "  upload FILE  upload the .syx image FILE to every speaker\n"
      "  exit         check the speakers' software and return them to Application mode");
  parser.addPositionalArgument("command", "scan, upload or exit.", "command [FILE]");
  const QCommandLineOption yesOption(QStringList{"y", "yes"},
                                     "exit: answer Yes to the question about missing software.");
  const QCommandLineOption templateOption(
      "port-template",
      "Device path of port N with one %i (overrides FLASHDESK_PORT_TEMPLATE; "
      "default /dev/ttyUSB%i).",
      "T");
  parser.addOption(yesOption);
  parser.addOption(templateOption);
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();

  if (!parser.parse(arguments))
    return UsageError(environment, parser.errorText().toStdString());
  if (parser.isSet(helpOption)) {
    environment.output << parser.helpText().toStdString() << std::flush;
    return kExitSuccess;
  }
  if (parser.isSet(versionOption)) {
    environment.output << kProgramName << ' '
                       << QCoreApplication::applicationVersion().toStdString() << '\n'
                       << std::flush;
    return kExitSuccess;
  }

  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty())
    return UsageError(environment, "no command given");
  const QString command = positional.first();
  const int expectedArguments = command == "upload" ? 2 : 1;
  if (command != "scan" && command != "upload" && command != "exit") {
    return UsageError(environment, "unknown command '" + command.toStdString() + "'");
  }
  if (positional.size() < expectedArguments) {
    return UsageError(environment, "upload needs the firmware FILE");
  }
  if (positional.size() > expectedArguments) {
    return UsageError(environment, "unexpected argument '" +
                                       positional.at(expectedArguments).toStdString() + "'");
  }
  if (parser.isSet(yesOption) && command != "exit") {
    return UsageError(environment, "--yes applies to exit only");
  }
  if (parser.isSet(templateOption)) {
    const std::string portTemplate = parser.value(templateOption).toStdString();
    if (!platform::ExpandPortTemplate(portTemplate, 0)) {
      return UsageError(environment,
                        "--port-template needs exactly one %i, got '" + portTemplate + "'");
    }
    setenv("FLASHDESK_PORT_TEMPLATE", portTemplate.c_str(), 1);
  }

  TerminalPrompts prompts(environment.input, environment.output, parser.isSet(yesOption));
  const EngineServices services{environment.serial, environment.clock, environment.settings,
                                prompts};
  SpeakerNetwork engine(services);
  std::string imagePath;
  if (command == "upload") {
    imagePath = QFile::encodeName(positional.at(1)).toStdString();
    if (!IsReadableFile(imagePath)) {
      return UsageError(environment, "cannot read firmware file '" + imagePath + "'");
    }
    // Checked before the minute-long scan; the upload opens it again.
    const bool sendable = engine.OpenImage(imagePath);
    engine.CloseImage();
    if (!sendable) {
      return UsageError(environment, "'" + imagePath + "' is not a firmware image: it needs a " +
                                         "7-byte header with bytes 0 to 2 below 0x80 and 1 to " +
                                         "2097151 bytes of payload");
    }
  }
  if (command == "scan")
    return ScanAndList(engine, environment) ? kExitSuccess : kExitFailure;
  if (command == "upload")
    return RunUpload(engine, environment, imagePath);
  return RunExit(engine, environment);
}

}  // namespace flashdesk::cli
