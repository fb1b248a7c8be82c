#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "application/RecordingPrompts.h"
#include "application/Results.h"
#include "application/SharedSettings.h"
#include "engine/EngineServices.h"
#include "platform/ProgressSink.h"

namespace flashdesk {
class SpeakerNetwork;
}

namespace flashdesk::application {

// Receives a window's finished work. Called on a worker thread: whatever touches the window is
// posted to the window's thread, which the worker never waits for (it may itself be waiting
// for the engine).
class ResultListener {
 public:
  virtual void ScanFinished(const ScanResult& result) = 0;
  virtual void UploadStarted() = 0;
  // Given before the history line is written, so a slow disk never holds back the report.
  virtual void UploadFinished(const UploadResult& result) = 0;

 protected:
  ~ResultListener() = default;
};

// The application under every front end: owns the engine and decides, once for all of them,
// the upload's verdict, status line and history line and which files are refused. The command
// line calls Scan, Upload and Exit in turn; a window runs the scan, a search again and one
// upload at a time on worker threads that hand their results to its listener.
class Session {
 public:
  // services outlive the session; its prompts answer the exit checks. listener, when given,
  // receives the worker threads' results.
  explicit Session(const EngineServices& services, ResultListener* listener = nullptr);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Stops a running upload before its next block and waits for both threads.
  ~Session();

  // Why an upload would refuse the file at path (with its path); empty when it would send it.
  static std::string Refusal(const std::string& path);

  // The device the scans search alone (nullopt: the numbered ports); waits for a running
  // operation.
  void PinPort(std::optional<std::string> path);
  const std::optional<std::string>& PinnedPort() const { return pinnedPort; }
  // Receives the upload's percentages; null for none. Set it while no upload runs.
  void SetProgressTarget(platform::ProgressSink* progress);

  // On the calling thread. Scan searches the bus; Upload sends the file to the saved port,
  // hands the result to shown, then appends its history line; Exit runs the exit checks and
  // returns the speakers to Application mode when they allow it.
  ScanResult Scan();
  UploadResult Upload(const std::string& path,
                      const std::function<void(const UploadResult&)>& shown = {});
  ExitResult Exit();

  // Asks a running upload to stop before its next block; safe from a signal handler.
  void RequestAbort();
  bool AbortRequested() const;

  // Worker threads; each result goes to the listener. Called on the window's thread.
  // The start-up scan on its own thread; later calls do nothing.
  void StartScan();
  // Searches again at path, as at start-up; false, with nothing changed, before the start-up
  // scan, while a scan runs or while an upload runs.
  bool SearchAgain(std::optional<std::string> path);
  // Uploads the file at path on its own thread; false while another upload runs, also one
  // that a refused exit stopped and that is still finishing its report.
  bool StartUpload(const std::string& path);
  // True from an accepted StartUpload until its history line is written, unless the user
  // agreed to leave meanwhile.
  bool Uploading() const { return uploading; }
  // The user agreed to leave during the upload; the exit checks stop it.
  void ForgetUpload() { uploading = false; }
  // Waits for the whole scan (its listener included), then runs the exit checks. Blocks for
  // seconds.
  ExitResult ConfirmExit();

  // The store the engine uses, safe beside the worker threads; any thread.
  platform::SettingsStore& Settings() { return settings; }
  // The serial devices the engine opens; any thread.
  platform::SerialApi& Serial() { return serial; }

 private:
  void LaunchScan();

  platform::SerialApi& serial;
  SharedSettings settings;
  RecordingPrompts prompts;
  const std::unique_ptr<SpeakerNetwork> engine;
  ResultListener* listener;
  std::optional<std::string> pinnedPort;
  bool scanStarted = false;
  std::atomic<bool> scanRunning{false};
  std::atomic<bool> uploading{false};
  std::atomic<bool> uploadRunning{false};
  std::thread scanThread;
  std::thread uploadThread;
};

}  // namespace flashdesk::application
