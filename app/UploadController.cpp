#include "app/UploadController.h"

#include "log/ErrorLog.h"

namespace flashdesk {

UploadController::UploadController(const EngineServices& services, UploadView& view,
                                   platform::ProgressSink& progress)
    : network(services), view(view) {
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
  scanRunning = true;
  scanThread = std::thread([this] {
    Scan();
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

void UploadController::Scan() {
  network.ScanNetwork();
  view.ScanFinished(network);
}

void UploadController::Upload(const std::string& path) {
  ErrorLog log;
  view.UploadStarted();
  const bool uploaded = network.Upload(path, network.ReadSavedPort());
  network.CopyEvents(log);
  // An upload that never got going (no lock, no network, file refused, no answer, stopped)
  // leaves no unfinished speaker in the log, yet nothing was installed.
  const bool complete = uploaded && !log.HasUnfinishedSpeaker();
  std::string report;
  log.Report(report);
  view.UploadFinished(complete, report);
  uploading = false;
}

}  // namespace flashdesk
