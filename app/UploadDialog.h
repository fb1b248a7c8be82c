#pragma once

#include <QDialog>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/DialogText.h"
#include "app/ProgressBar.h"
#include "app/UploadController.h"
#include "panels/FirmwarePanel.h"
#include "panels/SpeakerPanel.h"
#include "platform/PortDiscovery.h"
#include "resources/Strings.h"

namespace flashdesk {

class BitmapButton;

// The main window: a frameless, skinned 800 x 529 dialog with the speaker and firmware
// panels, the progress bar, the help pages or the last upload report, and the status line.
// Its child windows carry object names for finding them: "upload", "exit", "close", "help".
// The right-click menu saves the report and chooses or opens the firmware folder, which also
// takes .syx files dropped on the window.
class UploadDialog : public QDialog, private UploadView {
  Q_OBJECT

 public:
  // The settings value beside the port that names the firmware folder the user chose.
  static constexpr const char* kFolderValueName = "FirmwareFolder";
  // The settings value beside the port that names the device chosen in the menu (POSIX only;
  // empty: the numbered ports).
  static constexpr const char* kPortPathValueName = "PortPath";

  // What the paint handler draws besides the skin; shared with the worker threads.
  struct View {
    // The scan notice over the speaker list.
    bool searching = true;
    BoxContent box = BoxContent::kHelpPage0;
    std::string reportText;
    std::string statusText = strings::kStartStatus;
  };

  // services outlive the dialog; their prompts also carry the dialog's own messages.
  explicit UploadDialog(const EngineServices& services, QWidget* parent = nullptr);

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

  // False when the resolution check failed and the window was asked to close.
  bool Initialised() const { return initialised; }
  // The engine and the worker threads behind the window.
  UploadController& Controller() { return controller; }
  // Where the Serial Port menu looks for devices; tests point it at a fake tree.
  void SetDiscoveryRoots(const platform::DiscoveryRoots& roots) { discoveryRoots = roots; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  static constexpr int kClientWidth = 800;
  static constexpr int kClientHeight = 529;
  static constexpr int kRequiredDpi = 96;
  static constexpr int kUploadCommand = 102;
  static constexpr int kExitCommand = 103;
  static constexpr int kHelpCommand = 104;

  bool Initialise();
  BitmapButton* AddButton(int command, QPoint topLeft, std::array<int, 4> bitmaps, const char* name,
                          const char* accessibleName);
  // The buttons' and the panels' commands.
  void OnCommand(int id);
  void Upload();
  void Help();
  // Ends the dialog when the user and the exit checks agree.
  void Exit();
  // True when the dialog may end.
  bool RunExitSequence();
  void ShowAbout();
  // The menu's file commands. Each tells the user when it fails.
  void SaveReport();
  void ChooseFirmwareFolder();
  void OpenFirmwareFolder();
  // The Serial Port submenu: the discovered devices and Automatic, the one in use checked.
  void AddPortMenu(QMenu& menu);
  // Searches at path (nullopt: the numbered ports) and remembers it; refused during an upload.
  void ChoosePort(const std::optional<std::string>& path);
  // Copies dropped files into the firmware folder and says what became of each.
  void ReceiveFirmwareFiles(const std::vector<std::string>& paths);
  // Lists the selected model's files again once the scan has listed the models.
  void RebuildCatalog();
  // Offers boot files only for a single speaker, builds the catalog for the selected model and
  // drops the scan notice. Window's thread.
  void ApplyScanResult();
  // Shows both panels again, which repaints them with their entries; any thread.
  void ShowPanels();

  // What the worker threads report; every widget change goes to the window's thread.
  void ScanFinished(const SpeakerNetwork& network) override;
  void UploadStarted() override;
  void UploadFinished(bool complete, const std::string& report) override;

  void PaintBox(QPainter& painter, int height);
  void PaintHelpPage(QPainter& painter, BoxContent page);
  void PaintReport(QPainter& painter, const std::string& report);

  const QRect statusRect{QPoint(196, 450), QPoint(638, 469)};
  platform::Prompts& prompts;
  SpeakerPanel speakerPanel;
  FirmwarePanel firmwarePanel;
  ProgressBar progress;
  mutable std::mutex viewLock;
  View view;
  bool initialised = false;
  // An exit sequence is on the stack: its message boxes must not start another one.
  bool exiting = false;
  // The bus has more speakers than the table lists; said once. Window's thread.
  bool unlistedShown = false;
  platform::DiscoveryRoots discoveryRoots;
  QPoint dragOrigin;
  QPixmap skin;
  QFont captionFont;
  QFont headingFont;
  QFont bodyFont;
  QFont statusFont;
  // Last, so that it is destroyed first: its threads use the panels, the bar and the view.
  UploadController controller;
};

}  // namespace flashdesk
