#include "application/Session.h"

#include <algorithm>
#include <utility>

#include "application/Verdict.h"
#include "engine/SpeakerNetwork.h"
#include "log/ErrorLog.h"
#include "records/ImageInfo.h"
#include "records/UploadHistory.h"

namespace flashdesk::application {

Session::Session(const EngineServices& services, ResultListener* listener)
    : serial(services.serial),
      settings(services.settings),
      prompts(services.prompts),
      engine(std::make_unique<SpeakerNetwork>(
          EngineServices{services.serial, services.clock, settings, prompts})),
      listener(listener) {}

Session::~Session() {
  engine->RequestAbort();
  if (uploadThread.joinable())
    uploadThread.join();
  // A scan cannot be stopped; it is waited for as the exit checks would.
  if (scanThread.joinable())
    scanThread.join();
}

void Session::RequestAbort() {
  engine->RequestAbort();
}

bool Session::AbortRequested() const {
  return engine->AbortRequested();
}

std::string Session::Refusal(const std::string& path) {
  return ImageRefusal(path);
}

void Session::PinPort(std::optional<std::string> path) {
  pinnedPort = path;
  engine->PinPort(std::move(path));
}

void Session::SetProgressTarget(platform::ProgressSink* progress) {
  engine->SetProgressTarget(progress);
}

ScanResult Session::Scan() {
  ScanResult result;
  result.found = engine->ScanNetwork();
  result.port = records::PortOf(result.found.bus);
  result.speakers = records::SpeakersOf(result.found.bus);
  return result;
}

UploadResult Session::Upload(const std::string& path,
                             const std::function<void(const UploadResult&)>& shown) {
  const std::int32_t savedPort = engine->ReadSavedPort();
  const UploadOutcome outcome = engine->Upload(path, savedPort);
  const UploadVerdict verdict = Judge(outcome);

  UploadResult result;
  records::UploadResult& facts = result.facts;
  facts.port = records::PortOf(outcome.bus);
  facts.file = records::FileFactsOf(records::DescribeImage(path));
  // The path may name another file by now; the hash is of the bytes the upload read.
  if (outcome.sentSha256)
    facts.file.sha256 = *outcome.sentSha256;
  facts.attempts = outcome.attempts;
  facts.succeeded = verdict.succeeded;
  facts.status = verdict.status;
  facts.refusal = outcome.imageProblem;
  facts.speakers = records::OutcomesOf(records::SpeakersOf(outcome.bus), outcome.events);
  facts.attemptErrors = outcome.attemptErrors;
  facts.culprits = verdict.culprits;
  result.nobodyTookIt = verdict.nobodyTookIt;
  result.stopped = outcome.stopped;
  result.blocksSent = outcome.blocksSent;
  result.dataBlocks = outcome.dataBlocks;
  ErrorLog log;
  for (const LogEvent& event : outcome.events)
    log.AddEvent(event.serial, event.code);
  log.Report(result.report);
  for (const SpeakerRecord& speaker : outcome.bus.speakers) {
    const std::uint32_t serialNumber = speaker.SerialNumber();
    if (std::none_of(outcome.events.begin(), outcome.events.end(), [&](const LogEvent& event) {
          return static_cast<std::uint32_t>(event.serial) == serialNumber;
        }))
      result.silentSpeakers.push_back(serialNumber);
  }
  result.record = records::RecordOfUpload(facts.port, path, facts.file.sha256, facts.speakers);
  if (shown)
    shown(result);
  // Nothing was sent to anybody: not an upload worth a line. A history that cannot be
  // written leaves a trace line and never changes the result.
  if (outcome.attempts > 0)
    result.recorded = records::UploadHistory().Append(result.record, &result.historyProblem);
  return result;
}

ExitResult Session::Exit() {
  prompts.StartRecording();
  const ExitOutcome outcome = engine->ConfirmExit();
  ExitResult result;
  result.port = records::PortOf(outcome.bus);
  result.allowed = outcome.allowed;
  result.prompts = prompts.StopRecording();
  result.speakers = records::SpeakersOf(outcome.bus);
  return result;
}

void Session::StartScan() {
  if (scanStarted)
    return;
  scanStarted = true;
  LaunchScan();
}

bool Session::SearchAgain(std::optional<std::string> path) {
  if (!scanStarted || scanRunning || uploading || uploadRunning)
    return false;
  pinnedPort = std::move(path);
  LaunchScan();
  return true;
}

void Session::LaunchScan() {
  if (scanThread.joinable())
    scanThread.join();
  scanRunning = true;
  scanThread = std::thread([this, path = pinnedPort] {
    engine->PinPort(path);
    const ScanResult result = Scan();
    // A front end may search again as soon as it has the result.
    scanRunning = false;
    if (listener)
      listener->ScanFinished(result);
  });
}

bool Session::StartUpload(const std::string& path) {
  if (uploading || uploadRunning)
    return false;
  if (uploadThread.joinable())
    uploadThread.join();
  uploading = true;
  uploadRunning = true;
  uploadThread = std::thread([this, path] {
    if (listener)
      listener->UploadStarted();
    // A front end may upload or search again as soon as it has the result; a next upload
    // still joins this thread, so history lines never interleave.
    Upload(path, [this](const UploadResult& result) {
      uploading = false;
      uploadRunning = false;
      if (listener)
        listener->UploadFinished(result);
    });
  });
  return true;
}

ExitResult Session::ConfirmExit() {
  // The exit checks rewrite the table the scan's result was taken from; the whole scan,
  // its hand-over included, comes first.
  if (scanThread.joinable())
    scanThread.join();
  return Exit();
}

}  // namespace flashdesk::application
