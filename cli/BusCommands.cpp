#include "cli/BusCommands.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "application/Preflight.h"
#include "application/Session.h"
#include "application/Verification.h"
#include "cli/Arguments.h"
#include "cli/PortCommands.h"
#include "cli/RecordCommands.h"
#include "cli/SpeakerListing.h"
#include "cli/TerminalProgress.h"
#include "cli/UploadReport.h"
#include "resources/Strings.h"

namespace flashdesk::cli {

namespace {

constexpr const char* kBackInApplicationMode = "Speakers sent to Application mode; port closed.";

void PrintSummary(CliEnvironment& environment, const std::string& line) {
  if (environment.summary)
    *environment.summary << line << '\n' << std::flush;
}

// Runs the scan and lists what it found.
application::ScanResult ScanAndList(application::Session& session, CliEnvironment& environment) {
  if (!environment.summary)
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

// The document of an upload that never began: flash wraps it in its own.
void PrintNotSent(CliEnvironment& environment, const CliOptions& options,
                  const records::UploadResult& facts) {
  if (options.command == "flash")
    PrintFlashDocument(records::FlashResult{facts, std::nullopt, false}, environment);
  else
    PrintUploadDocument(facts, environment);
}

// A file the upload would refuse, before any port is touched; the usage-error status, or 0.
int RefuseUnreadableImage(CliEnvironment& environment, const CliOptions& options) {
  std::string refusal;
  const std::string problem = CheckImage(options.imagePath, refusal);
  if (problem.empty())
    return kExitSuccess;
  PrintNotSent(environment, options,
               RefusedUpload(options.imagePath, refusal.empty() ? problem : refusal));
  return UsageError(environment, problem);
}

// True when the file may go to the speakers found; otherwise says why, with its document.
bool PassesPreflight(const application::ScanResult& scan, CliEnvironment& environment,
                     const CliOptions& options) {
  if (options.force)
    return true;
  const std::string refusal = application::PreflightRefusal(options.imagePath, scan.speakers);
  if (refusal.empty())
    return true;
  records::UploadResult facts = RefusedUpload(options.imagePath, refusal);
  facts.port = scan.port;
  facts.portsTried = records::TriedPortsOf(scan.found);
  PrintNotSent(environment, options, facts);
  environment.errors << kProgramName << ": " << refusal << '\n' << std::flush;
  PrintSummary(environment, options.command + " refused: nothing was sent");
  return false;
}

// The upload with its progress on the terminal; the report is printed as soon as it is known.
application::UploadResult UploadWithProgress(application::Session& session,
                                             const application::ScanResult& scan,
                                             CliEnvironment& environment,
                                             const CliOptions& options) {
  TerminalProgress progress(environment.errors, environment.errorsIsTerminal, environment.clock);
  const bool showProgress = environment.summary == nullptr;
  if (showProgress)
    session.SetProgressTarget(&progress);
  if (environment.watchInterrupt)
    environment.watchInterrupt(&session);
  application::UploadResult result =
      session.Upload(options.imagePath, [&](const application::UploadResult& shown) {
        if (environment.watchInterrupt)
          environment.watchInterrupt(nullptr);
        if (!shown.facts.refusal.empty())
          environment.errors << kProgramName << ": " << shown.facts.refusal << '\n' << std::flush;
        if (showProgress && shown.stopped) {
          progress.FinishStopped(shown.blocksSent, shown.dataBlocks);
        } else if (showProgress) {
          if (shown.facts.attempts > 0)
            progress.ReportProgress(100);
          progress.Finish();
        }
        PrintUploadReport(shown, environment.output);
      });
  session.SetProgressTarget(nullptr);
  result.facts.portsTried = records::TriedPortsOf(scan.found);
  // As for the port that cannot be saved: the result stands, the user hears why once. An
  // upload that sent nothing owes no line, so it owes no warning either.
  if (!result.historyProblem.empty()) {
    environment.errors << kProgramName
                       << ": warning: the upload history was not written: " << result.historyProblem
                       << '\n'
                       << std::flush;
  }
  // The status line is the window's; a script must still not take "nobody took it" as success.
  if (result.nobodyTookIt)
    environment.errors << kProgramName << ": no speaker took the image\n" << std::flush;
  return result;
}

// What upload and flash begin with: the file checked, one search, the pre-flight check and the
// upload. The exit status when a refusal ended the command there, otherwise 0.
int CheckSearchAndUpload(application::Session& session, CliEnvironment& environment,
                         const CliOptions& options, application::UploadResult& result) {
  if (const int refused = RefuseUnreadableImage(environment, options))
    return refused;
  const application::ScanResult scan = ScanAndList(session, environment);
  if (!PassesPreflight(scan, environment, options))
    return kExitFailure;
  result = UploadWithProgress(session, scan, environment, options);
  return kExitSuccess;
}

// "2 of 3 speakers passed", counting every speaker the upload reported on.
std::string PassedText(const records::UploadResult& facts) {
  std::size_t passed = 0;
  for (const records::SpeakerOutcome& speaker : facts.speakers)
    passed += speaker.outcome == records::Outcome::kPassed ? 1 : 0;
  return std::to_string(passed) + " of " + std::to_string(facts.speakers.size()) +
         " speakers passed";
}

// Compares the versions the speakers now report with the file's; true when all match.
bool Verify(const std::string& path, const std::vector<records::SpeakerFacts>& after,
            records::UploadResult& facts, std::ostream& output) {
  application::VerifyVersions(path, after, facts.speakers);
  PrintVerification(facts, output);
  return application::EveryTargetVerified(path, facts.speakers);
}

// Something went out and the speakers may now hold a new image.
bool WasSent(const application::UploadResult& result) {
  return result.facts.attempts > 0 && !result.stopped;
}

}  // namespace

int UsageError(CliEnvironment& environment, const std::string& message) {
  environment.errors << kProgramName << ": " << message << "\nRun '" << kProgramName
                     << " --help' for usage.\n"
                     << std::flush;
  return kExitUsage;
}

int RunScan(application::Session& session, CliEnvironment& environment, const CliOptions&) {
  const application::ScanResult result = ScanAndList(session, environment);
  PrintScanDocument(result, environment);
  PrintSummary(environment, result.speakers.empty()
                                ? std::string("No speakers found.")
                                : "Port " + PortText(result.port) + ": " +
                                      std::to_string(result.speakers.size()) + " speakers");
  return result.speakers.empty() ? kExitFailure : kExitSuccess;
}

int RunUpload(application::Session& session, CliEnvironment& environment,
              const CliOptions& options) {
  application::UploadResult result;
  if (const int ended = CheckSearchAndUpload(session, environment, options, result))
    return ended;
  bool verified = true;
  if (options.verify && WasSent(result)) {
    if (!environment.summary)
      environment.errors << "Identifying the speakers again to verify...\n" << std::flush;
    verified = Verify(options.imagePath, session.Scan().speakers, result.facts, environment.output);
  }
  PrintUploadDocument(result.facts, environment);
  const bool succeeded = result.facts.succeeded && verified;
  PrintSummary(environment, std::string("upload ") + (succeeded ? "succeeded: " : "failed: ") +
                                PassedText(result.facts) +
                                (options.verify ? verified ? ", verified" : ", not verified" : ""));
  return succeeded ? kExitSuccess : kExitFailure;
}

int RunExit(application::Session& session, CliEnvironment& environment, const CliOptions&) {
  ScanAndList(session, environment);
  environment.output << strings::kClosingStatus << '\n' << std::flush;
  const application::ExitResult result = session.Exit();
  environment.output << (result.allowed ? kBackInApplicationMode : strings::kIdleStatus) << '\n'
                     << std::flush;
  PrintExitDocument(result, environment);
  PrintSummary(environment, result.allowed ? "exit done: speakers in Application mode"
                                           : "exit refused: speakers left in Boot mode");
  return result.allowed ? kExitSuccess : kExitFailure;
}

int RunFlash(application::Session& session, CliEnvironment& environment,
             const CliOptions& options) {
  application::UploadResult upload;
  if (const int ended = CheckSearchAndUpload(session, environment, options, upload))
    return ended;
  records::FlashResult flash{upload.facts, std::nullopt, false};
  bool verified = false;
  if (WasSent(upload)) {
    // The exit checks identify every speaker again: their versions are the verification.
    environment.output << strings::kClosingStatus << '\n' << std::flush;
    application::ExitResult exit = session.Exit();
    verified = Verify(options.imagePath, exit.speakers, flash.upload, environment.output);
    environment.output << (exit.allowed ? kBackInApplicationMode : strings::kIdleStatus) << '\n'
                       << std::flush;
    flash.exit = std::move(exit);
  } else if (upload.stopped) {
    environment.errors << kProgramName << ": the speakers stay in Boot mode; run '" << kProgramName
                       << " flash' again, or '" << kProgramName
                       << " exit' to return them to Application mode\n"
                       << std::flush;
  }
  flash.succeeded = upload.facts.succeeded && verified && flash.exit && flash.exit->allowed;
  PrintFlashDocument(flash, environment);
  std::string summary = std::string("flash ") + (flash.succeeded ? "succeeded: " : "failed: ") +
                        PassedText(flash.upload) + (verified ? ", verified" : ", not verified");
  if (flash.exit)
    summary += flash.exit->allowed ? ", speakers in Application mode" : ", exit refused";
  PrintSummary(environment, summary);
  return flash.succeeded ? kExitSuccess : kExitFailure;
}

}  // namespace flashdesk::cli
