#pragma once

#include <QDialog>
#include <QFont>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/BitmapButton.h"
#include "app/ProgressBar.h"
#include "engine/SpeakerNetwork.h"
#include "panels/FirmwarePanel.h"
#include "panels/SpeakerPanel.h"
#include "resources/Strings.h"

namespace flashdesk {

// The main window: a frameless, skinned 800 x 529 dialog with the speaker and firmware
// panels, the progress bar, the help pages or the last upload report, and the status line.
class UploadDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 800;
  static constexpr int kClientHeight = 529;
  static constexpr int kRequiredDpi = 96;
  static constexpr int kUploadCommand = 102;
  static constexpr int kExitCommand = 103;
  static constexpr int kHelpCommand = 104;
  static constexpr int kProgressId = 105;
  static constexpr const char* kDpiMessage =
      "This program doesn't scale correctly\nwith your dpi settings.\nSet dpi to 96 and try again";
  static constexpr const char* kClosingStatus = strings::kClosingStatus;
  static constexpr const char* kIdleStatus = strings::kIdleStatus;
  static constexpr const char* kUploadingStatus = strings::kUploadingStatus;
  static constexpr const char* kCompleteStatus = strings::kCompleteStatus;
  static constexpr const char* kErrorsStatus = strings::kErrorsStatus;
  static constexpr const char* kNoFirmwareMessage = "No Firmware Selected";
  static constexpr const char* kUploadRunningMessage = "Another Upload Is Currently In Progress";
  static constexpr const char* kExitDuringUploadQuestion =
      "If you exit while upload in progress\nyou might damage your setup.\nDo you wish to exit "
      "anyway???";

  // What the paint handler draws besides the skin; shared with the worker threads.
  struct View {
    bool searching = true;
    bool helpShown = true;
    std::int32_t helpPage = 0;
    bool reportShown = false;
    std::string reportText;
    std::string statusText = "Status:";
  };

  // services outlive the dialog; their prompts also carry the dialog's own messages.
  explicit UploadDialog(const EngineServices& services, QWidget* parent = nullptr);
  // Stops a running upload before its next block and waits for both worker threads, so that
  // none of them outlives the panels and the engine.
  ~UploadDialog() override;

  // Starts the start-up scan (once) and runs the window until the Exit sequence ends it.
  int exec() override;
  // Starts the start-up scan on its own thread; later calls do nothing. Window's thread.
  void StartScan();
  // Escape, the close request and every other way of ending the window run the Exit checks.
  void reject() override;
  void accept() override;

  // A copy of the drawn state; any thread.
  View CurrentView() const;
  // Changes the drawn state under its lock and posts a repaint; any thread.
  void ChangeView(const std::function<void(View&)>& change);

  // The command hook: panel notifications 1500 and 1600 and the buttons' commands.
  void OnCommand(int id);
  // After the start-up scan has filled the speaker panel: offers boot files only for a single
  // speaker, builds the catalog for the selected model and drops the scan notice. Window's
  // thread.
  void ApplyScanResult();

  // False when the resolution check failed and the window was asked to close.
  bool Initialised() const { return initialised; }
  // True from an accepted UPLOAD until its thread has reported, or until the user confirmed
  // leaving during the upload. Tested and set on the window's thread.
  bool Uploading() const { return uploading; }
  // The upload thread's last step; any thread.
  void EndUploading() { uploading = false; }
  // A worker thread is still running.
  bool WorkersRunning() const { return scanRunning || uploadRunning; }
  // The right-click menu with the About item.
  QMenu* CreateContextMenu();

  SpeakerPanel speakerPanel;
  FirmwarePanel firmwarePanel;
  ProgressBar progress;
  BitmapButton* uploadButton = nullptr;
  BitmapButton* exitButton = nullptr;
  BitmapButton* closeButton = nullptr;
  BitmapButton* helpButton = nullptr;
  const QRect statusRect{QPoint(196, 450), QPoint(638, 469)};

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  bool Initialise();
  BitmapButton* AddButton(int command, QPoint topLeft, int normal, int pressed, int focused,
                          int disabled);
  void Upload();
  void Help();
  // Ends the dialog when the user and the exit checks agree.
  void Exit();
  // True when the dialog may end.
  bool RunExitSequence();
  void PaintBox(QPainter& painter, int height);
  void PaintHelpPage(QPainter& painter, std::int32_t page);
  void PaintReport(QPainter& painter, const std::string& report);

  platform::Prompts& prompts;
  mutable std::mutex viewLock;
  View view;
  bool initialised = false;
  std::string selectedFile;
  std::atomic<bool> uploading{false};
  // An exit sequence is on the stack: its message boxes must not start another one.
  bool exiting = false;
  QPoint dragOrigin;
  bool scanStarted = false;
  std::atomic<bool> scanRunning{false};
  std::atomic<bool> uploadRunning{false};
  std::thread scanThread;
  std::thread uploadThread;
  QPixmap skin;
  QFont captionFont;
  QFont headingFont;
  QFont bodyFont;
  QFont statusFont;
};

}  // namespace flashdesk
