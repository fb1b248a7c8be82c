#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "platform/ProgressSink.h"
#include "platform/SettingsStore.h"
#include "records/Results.h"

namespace flashdesk {

// What the window shows of the worker threads' work. Called on a worker thread: whatever
// touches a widget is posted to the window's thread, which the worker never waits for (it may
// itself be waiting for the engine).
class UploadView {
 public:
  // The scan has let go of the engine; the network's table holds the speakers it found.
  virtual void ScanFinished(const SpeakerNetwork& network) = 0;
  virtual void UploadStarted() = 0;
  // complete: every speaker took the image.
  virtual void UploadFinished(bool complete, const std::string& report) = 0;

 protected:
  ~UploadView() = default;
};

// One settings store for the engine's worker threads and the window's menu, one call at a time.
class SharedSettings : public platform::SettingsStore {
 public:
  explicit SharedSettings(platform::SettingsStore& store) : store(store) {}
  bool OpenSection() override;
  bool ReadValue(const std::string& name, std::string& value) override;
  bool WriteValue(const std::string& name, const std::string& value) override;

 private:
  platform::SettingsStore& store;
  std::mutex lock;
};

// Owns the upload engine and the window's two worker threads: the start-up scan and one
// upload at a time. Every upload leaves a line in the user's upload history. Called on the
// window's thread unless said otherwise.
class UploadController {
 public:
  // services, view and progress outlive the controller; progress shows the upload's blocks.
  UploadController(const EngineServices& services, UploadView& view,
                   platform::ProgressSink& progress);
  UploadController(const UploadController&) = delete;
  UploadController& operator=(const UploadController&) = delete;
  // Stops a running upload before its next block and waits for both threads, so that none
  // outlives the view.
  ~UploadController();

  // Starts the start-up scan on its own thread; later calls do nothing.
  void StartScan();
  // The device the scans search alone (nullopt: the numbered ports). Before StartScan, or
  // through SearchAgain.
  void PinPort(std::optional<std::string> path) { pinnedPort = std::move(path); }
  const std::optional<std::string>& PinnedPort() const { return pinnedPort; }
  // Searches again at path on the scan thread, as at start-up; false, with nothing changed,
  // while a scan or an upload runs.
  bool SearchAgain(std::optional<std::string> path);
  // Starts uploading the file at path to every speaker on the saved port; false while another
  // upload runs, also one that a refused exit stopped and that is still finishing its report.
  bool StartUpload(const std::string& path);
  // True from an accepted StartUpload until its thread has reported, unless the user agreed to
  // leave meanwhile.
  bool Uploading() const { return uploading; }
  // The user agreed to leave during the upload; the exit checks stop it.
  void ForgetUpload() { uploading = false; }
  // The exit checks, after the whole scan; true when the window may end. Blocks for seconds.
  bool ConfirmExit();
  // A worker thread is still running; any thread.
  bool WorkersRunning() const { return scanRunning || uploadRunning; }

  SpeakerNetwork& Network() { return network; }
  // The serial devices the engine opens; any thread.
  platform::SerialApi& Serial() { return serial; }
  // The store the engine uses, safe beside the worker threads; any thread.
  platform::SettingsStore& Settings() { return settings; }

 private:
  // Runs a scan at pinnedPort on the scan thread.
  void LaunchScan();
  void Upload(const std::string& path);
  // Appends the upload's line to the history; a history that cannot be written only traces.
  void RecordUpload(const std::string& path, const std::vector<records::SpeakerFacts>& speakers,
                    const std::vector<LogEvent>& events);

  platform::SerialApi& serial;
  SharedSettings settings;
  SpeakerNetwork network;
  UploadView& view;
  std::optional<std::string> pinnedPort;
  bool scanStarted = false;
  std::atomic<bool> scanRunning{false};
  std::atomic<bool> uploading{false};
  std::atomic<bool> uploadRunning{false};
  std::thread scanThread;
  std::thread uploadThread;
};

}  // namespace flashdesk
