#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "application/Session.h"
#include "platform/PortDiscovery.h"
#include "window/Canvas.h"
#include "window/DialogText.h"
#include "window/FirmwarePanel.h"
#include "window/FrontEnd.h"
#include "window/ProgressBar.h"
#include "window/SpeakerPanel.h"
#include "window/WindowThread.h"

namespace flashdesk::window {

// A bitmap button of the window. The toolkit makes one owner-drawn button of each, in this
// order, and asks ButtonSpec::Shown what to draw.
struct ButtonSpec {
  int command;
  Rect bounds;  // the size of its normal bitmap
  BitmapId normal;
  BitmapId pressed;
  BitmapId focused;
  BitmapId disabled;
  const char* name;            // for finding it: "upload", "exit", "close", "help"
  const char* accessibleName;  // the bitmaps carry the labels; screen readers get the words

  // Pressed, else focused, else disabled, else normal.
  BitmapId Shown(bool isPressed, bool hasFocus, bool isEnabled) const;
};

// The main window as a toolkit-free model: a frameless, skinned 800 x 529 dialog with the
// speaker and firmware lists, the progress bar, the help pages or the last upload report, the
// status line, four bitmap buttons (drawn by the toolkit from ButtonSpec), a right-click menu
// and dropped firmware files. It owns the application session and its worker threads, whose
// results reach it through its front end's Post. Everything but ReportProgress is called on
// the window's thread.
class UploadDialog : private application::ResultListener {
 public:
  static constexpr int kClientWidth = 800;
  static constexpr int kClientHeight = 529;
  static constexpr int kRequiredDpi = 96;
  static constexpr int kUploadCommand = 102;
  static constexpr int kExitCommand = 103;
  static constexpr int kHelpCommand = 104;
  static constexpr int kAboutCommand = 0x0010;
  static constexpr Rect kClient{0, 0, kClientWidth, kClientHeight};
  static constexpr Rect kStatusRect{196, 450, 443, 20};
  static const std::array<ButtonSpec, 4> kButtons;

  // The right-click menu's commands besides About; the Serial Port submenu's devices follow
  // kAutomaticItem.
  static constexpr int kSaveReportItem = 1;
  static constexpr int kFirmwareFolderItem = 2;
  static constexpr int kOpenFirmwareFolderItem = 3;
  static constexpr int kAutomaticItem = 100;

  // The settings values beside the port: the firmware folder the user chose, and the device
  // chosen in the Serial Port menu (empty: the numbered ports).
  static constexpr const char* kFolderValueName = "FirmwareFolder";
  static constexpr const char* kPortPathValueName = "PortPath";

  // What the dialog draws besides the skin, the lists and the bar.
  struct View {
    // The scan notice over the speaker list.
    bool searching = true;
    BoxContent box = BoxContent::kHelpPage0;
    std::string reportText;
    std::string statusText;
  };

  // Hands serial the port template FLASHDESK_PORT_TEMPLATE names; what is wrong with it (the
  // window then shows it and ends), or empty. Before the dialog is made.
  static std::string UsePortTemplate(platform::SerialApi& serial);

  // services and frontEnd outlive the dialog; the prompts of services also carry the dialog's
  // own messages and questions.
  UploadDialog(const EngineServices& services, FrontEnd& frontEnd);
  UploadDialog(const UploadDialog&) = delete;
  UploadDialog& operator=(const UploadDialog&) = delete;
  ~UploadDialog();

  // The resolution check, once the window exists: at other than 96 pixels per inch it shows
  // the message and asks the window to close; false then.
  bool Initialise(int dpiX, int dpiY);
  bool Initialised() const { return initialised; }
  // Starts the start-up scan (once), when the window was initialised.
  void StartScan();

  void Paint(Canvas& canvas) const;
  // The pointer over the window's surface (not over a button), in client pixels.
  void MouseMove(Point point, bool leftButtonHeld);
  void MousePress(Point point);
  // The command a click at the point gives: a button's, 1500 + i or 1600 + i for an entry's
  // check box, 0 for none.
  int CommandAt(Point point) const;
  // The buttons' and the lists' commands, and the About item.
  void OnCommand(int id);
  // Exit, the close cross, Escape and the close request: the exit sequence, which ends the
  // window when the user and the exit checks agree.
  void RequestExit();
  // Right-click at a client point: the front end shows the menu.
  void RequestMenu(Point at);
  void ChooseMenuItem(int id);
  // Copies dropped files into the firmware folder and says what became of each.
  void DropFiles(const std::vector<std::string>& paths);

  const View& CurrentView() const { return view; }
  // Changes what the dialog draws and repaints it.
  void ChangeView(const std::function<void(View&)>& change);
  const SpeakerPanel& Speakers() const { return speakerPanel; }
  const FirmwarePanel& Firmware() const { return firmwarePanel; }
  ProgressBar& Progress() { return progress; }
  application::Session& Session() { return session; }
  // Where the Serial Port menu looks for devices and a search that found nobody looks for
  // why; tests point it at a fake tree. Set while no search runs: its worker reads them.
  void SetDiscoveryRoots(const platform::DiscoveryRoots& roots) { discoveryRoots = roots; }

 private:
  // The list under a client point; null over the rest of the window.
  PagedPanel* PanelAt(Point point);
  void Upload();
  void Help();
  bool RunExitSequence();
  void SaveReport();
  void ChooseFirmwareFolder();
  void OpenFirmwareFolder();
  // Searches at path (nullopt: the numbered ports) and remembers it; refused during an upload.
  void ChoosePort(const std::optional<std::string>& path);
  // Lists the selected model's files again once the scan has listed the models.
  void RebuildCatalog();
  // refusedPorts: the message on the ports that would not open, or empty for none.
  void ApplyScanResult(const application::ScanResult& result, const std::string& refusedPorts);
  void ShowUploadStart();
  void ShowUploadResult(const application::UploadResult& result);
  void InvalidateAll() { frontEnd.Invalidate(kClient); }

  void PaintBox(Canvas& canvas, int height) const;
  void PaintHelpPage(Canvas& canvas, BoxContent page) const;
  void PaintReport(Canvas& canvas) const;

  // The worker threads' results, posted to the window's thread.
  void ScanFinished(const application::ScanResult& result) override;
  void UploadStarted() override;
  void UploadFinished(const application::UploadResult& result) override;

  FrontEnd& frontEnd;
  platform::Prompts& prompts;
  WindowThread windowThread;
  View view;
  SpeakerPanel speakerPanel;
  FirmwarePanel firmwarePanel;
  ProgressBar progress;
  bool initialised = false;
  // An exit sequence is on the stack: its message boxes must not start another one.
  bool exiting = false;
  // The bus has more speakers than the table lists; said once.
  bool unlistedShown = false;
  Point dragOrigin;
  platform::DiscoveryRoots discoveryRoots;
  // The devices the last Serial Port menu offered, after kAutomaticItem.
  std::vector<std::string> offeredDevices;
  // Last, so that it is destroyed first: its threads report to the dialog.
  application::Session session;
};

}  // namespace flashdesk::window
