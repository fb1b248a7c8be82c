#include "app/UploadController.h"

#include "log/ErrorLog.h"
#include "records/ImageInfo.h"
#include "records/UploadHistory.h"

namespace flashdesk {

bool SharedSettings::OpenSection() {
  std::lock_guard<std::mutex> guard(lock);
  return store.OpenSection();
}

bool SharedSettings::ReadValue(const std::string& name, std::string& value) {
  std::lock_guard<std::mutex> guard(lock);
  return store.ReadValue(name, value);
}

bool SharedSettings::WriteValue(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> guard(lock);
  return store.WriteValue(name, value);
}

UploadController::UploadController(const EngineServices& services, UploadView& view,
                                   platform::ProgressSink& progress)
    : serial(services.serial),
      settings(services.settings),
      network({services.serial, services.clock, settings, services.prompts}),
      view(view) {
  network.SetProgressTarget(&progress);
}

UploadController::~UploadController() {
  network.RequestAbort();
  if (uploadThread.joinable())
    uploadThread.join();
  // A scan cannot be stopped; it is waited for as the exit checks would.
  if (scanThread.joinable())
    scanThread.join();
}

void UploadController::StartScan() {
  if (scanStarted)
    return;
  scanStarted = true;
  LaunchScan();
}

bool UploadController::SearchAgain(std::optional<std::string> path) {
  if (!scanStarted || scanRunning || uploading || uploadRunning)
    return false;
  pinnedPort = std::move(path);
  LaunchScan();
  return true;
}

void UploadController::LaunchScan() {
  if (scanThread.joinable())
    scanThread.join();
  scanRunning = true;
  scanThread = std::thread([this, path = pinnedPort] {
    network.PinPort(path);
    network.ScanNetwork();
    view.ScanFinished(network);
    scanRunning = false;
  });
}

bool UploadController::StartUpload(const std::string& path) {
  if (uploading || uploadRunning)
    return false;
  if (uploadThread.joinable())
    uploadThread.join();
  uploading = true;
  uploadRunning = true;
  uploadThread = std::thread([this, path] {
    Upload(path);
    uploadRunning = false;
  });
  return true;
}

bool UploadController::ConfirmExit() {
  // After letting go of the engine the scan still lists the models from the speaker table,
  // which the exit checks rewrite: they wait for the whole scan.
  if (scanThread.joinable())
    scanThread.join();
  return network.ConfirmExit();
}

void UploadController::Upload(const std::string& path) {
  ErrorLog log;
  view.UploadStarted();
  // The speakers as the last identification left them; nothing rewrites them while an upload
  // runs.
  const std::vector<records::SpeakerFacts> speakers = records::SpeakersOf(network);
  const bool uploaded = network.Upload(path, network.ReadSavedPort());
  network.CopyEvents(log);
  // An upload that never got going (no lock, no network, file refused, no answer, stopped)
  // leaves no unfinished speaker in the log, yet nothing was installed.
  const bool complete = uploaded && !log.HasUnfinishedSpeaker();
  std::string report;
  log.Report(report);
  view.UploadFinished(complete, report);
  // After the report, so that a slow disk never holds back what the user sees.
  RecordUpload(path, speakers, log.Events());
  uploading = false;
}

void UploadController::RecordUpload(const std::string& path,
                                    const std::vector<records::SpeakerFacts>& speakers,
                                    const std::vector<LogEvent>& events) {
  // The port the scan found, which every upload of the window goes through.
  records::UploadHistory().Append(records::RecordOfUpload(records::PortOf(network), path,
                                                          records::DescribeImage(path).sha256,
                                                          records::OutcomesOf(speakers, events)));
}

}  // namespace flashdesk
