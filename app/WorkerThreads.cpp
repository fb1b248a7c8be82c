#include "app/WorkerThreads.h"

#include <string>

#include "app/UploadDialog.h"
#include "log/ErrorLog.h"
#include "panels/GuiThread.h"

namespace flashdesk {

void ScanThread(UploadDialog& dialog) {
  dialog.speakerPanel.Fill();
  // The catalog may show a message box, and two builds must never overlap.
  RunOnGuiThread(&dialog, [&dialog] { dialog.ApplyScanResult(); });
}

void UploadThread(UploadDialog& dialog) {
  ErrorLog log;
  dialog.ChangeView([](UploadDialog::View& view) {
    view.statusText = UploadDialog::kUploadingStatus;
    view.reportShown = false;
  });
  dialog.speakerPanel.SetShown(true);
  dialog.firmwarePanel.SetShown(true);

  std::string path;
  dialog.firmwarePanel.GetSelectedFile(path);
  SpeakerNetwork& network = dialog.speakerPanel.network;
  const std::int32_t port = network.ReadSavedPort();
  const bool uploaded = network.Upload(path, port);
  network.CopyEvents(log);

  // An upload that never got going (no lock, no network, file refused, no answer, stopped)
  // leaves no unfinished speaker in the log, yet nothing was installed.
  const bool complete = uploaded && !log.HasUnfinishedSpeaker();
  std::string report;
  log.Report(report);
  dialog.ChangeView([complete, &report](UploadDialog::View& view) {
    view.statusText = complete ? UploadDialog::kCompleteStatus : UploadDialog::kErrorsStatus;
    view.reportText = report;
    view.reportShown = true;
    view.helpShown = false;
  });
  dialog.progress.ReportProgress(100);
  dialog.EndUploading();
  dialog.speakerPanel.SetShown(true);
  dialog.firmwarePanel.SetShown(true);
}

}  // namespace flashdesk
