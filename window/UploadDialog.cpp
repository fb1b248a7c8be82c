#include "window/UploadDialog.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/PortDiagnosis.h"
#include "platform/PortTemplate.h"
#include "resources/Strings.h"

namespace flashdesk::window {
namespace {

constexpr Colour kText{100, 100, 100};
constexpr Colour kBoxFill{250, 250, 250};
constexpr Colour kBoxFrame{200, 200, 200};
constexpr Colour kBlack{0, 0, 0};

constexpr int kBoxLeft = 35;
constexpr int kBoxTop = 96;
constexpr int kBoxWidth = 440;
constexpr int kHelpBoxHeight = 290;
constexpr int kTextLeft = 55;
constexpr int kReportLineHeight = 20;

// A value the window remembered; nullopt when it is missing or empty.
std::optional<std::string> Recall(platform::SettingsStore& settings, const char* name) {
  std::string value;
  if (settings.OpenSection() && settings.ReadValue(name, value) && !value.empty())
    return value;
  return std::nullopt;
}

// FLASHDESK_PORT, else the device last chosen in the menu; nullopt for the numbered ports.
std::optional<std::string> StartupPort(platform::SettingsStore& settings) {
  const char* pinned = std::getenv(platform::kPinnedPortVariable);
  if (pinned != nullptr && *pinned != '\0')
    return std::string(pinned);
  return Recall(settings, UploadDialog::kPortPathValueName);
}

// The message after a search that found nobody while some port was there but would not open;
// empty otherwise, since for silent ports the list's "No Speakers Found..." says it all.
std::string RefusedPortsMessage(const ScanOutcome& found, const platform::DiscoveryRoots& roots) {
  if (!found.bus.speakers.empty())
    return {};
  std::vector<platform::SearchedPort> refused;
  for (const TriedPort& tried : found.portsTried) {
    const platform::SearchedPort port{tried.path, tried.problem};
    if (platform::Refused(port))
      refused.push_back(port);
  }
  if (refused.empty())
    return {};
  std::string message = strings::kPortsRefusedMessage;
  for (const std::string& line : platform::FailedSearchAdvice(refused, roots))
    message += "\n" + line;
  return message;
}

}  // namespace

BitmapId ButtonSpec::Shown(bool isPressed, bool hasFocus, bool isEnabled) const {
  if (isPressed)
    return pressed;
  if (hasFocus)
    return focused;
  if (!isEnabled)
    return disabled;
  return normal;
}

// In the order they are made: UPLOAD first, then Exit, the close cross and Help.
const std::array<ButtonSpec, 4> UploadDialog::kButtons = {{
    {kUploadCommand,
     {653, 410, 124, 36},
     BitmapId::kUploadNormal,
     BitmapId::kUploadPressed,
     BitmapId::kUploadNormal,
     BitmapId::kUploadPressed,
     "upload",
     strings::kUpload},
    {kExitCommand,
     {726, 490, 56, 24},
     BitmapId::kExit,
     BitmapId::kExit,
     BitmapId::kExit,
     BitmapId::kExit,
     "exit",
     strings::kExit},
    {kExitCommand,
     {780, 5, 15, 15},
     BitmapId::kCloseNormal,
     BitmapId::kClosePressed,
     BitmapId::kClosePressed,
     BitmapId::kCloseNormal,
     "close",
     strings::kExit},
    {kHelpCommand,
     {700, 9, 60, 23},
     BitmapId::kHelp,
     BitmapId::kHelp,
     BitmapId::kHelp,
     BitmapId::kHelp,
     "help",
     strings::kHelp},
}};

std::string UploadDialog::UsePortTemplate(platform::SerialApi& serial) {
  // A mistyped template would otherwise end in "No Speakers Found..." with no reason.
  std::string problem;
  if (const std::optional<std::string> portTemplate = platform::EnvironmentPortTemplate(problem))
    serial.SetPortTemplate(*portTemplate);
  return problem;
}

UploadDialog::UploadDialog(const EngineServices& services, FrontEnd& frontEnd)
    : frontEnd(frontEnd),
      prompts(services.prompts),
      speakerPanel([this](int id) { OnCommand(id); }),
      firmwarePanel([this](const std::string& message) { prompts.ShowMessage(message); },
                    [this](int id) { OnCommand(id); }),
      progress([this](const Rect& area) {
        this->frontEnd.Post([this, area] { this->frontEnd.Invalidate(area); });
      }),
      session(services, this) {
  view.statusText = strings::kStartStatus;
  session.SetProgressTarget(&progress);
  if (const std::optional<std::string> folder = Recall(session.Settings(), kFolderValueName))
    firmwarePanel.SetFolder(*folder);
  session.PinPort(StartupPort(session.Settings()));
}

UploadDialog::~UploadDialog() = default;

bool UploadDialog::Initialise(int dpiX, int dpiY) {
  windowThread.Expect("Initialise");
  if (dpiX != kRequiredDpi || dpiY != kRequiredDpi) {
    // The skin is laid out in fixed pixels and cannot follow other resolutions.
    prompts.ShowMessage(strings::kDpiMessage);
    frontEnd.RequestClose();
    return false;
  }
  progress.SetRange(0, 100);
  initialised = true;
  return true;
}

void UploadDialog::StartScan() {
  windowThread.Expect("StartScan");
  if (initialised)
    session.StartScan();
}

void UploadDialog::ChangeView(const std::function<void(View&)>& change) {
  windowThread.Expect("ChangeView");
  change(view);
  InvalidateAll();
}

int UploadDialog::CommandAt(Point point) const {
  for (const ButtonSpec& button : kButtons) {
    if (button.bounds.Contains(point))
      return button.command;
  }
  if (const int entry = speakerPanel.EntryBoxAt(point); entry >= 0)
    return SpeakerPanel::kFirstId + entry;
  if (const int entry = firmwarePanel.EntryBoxAt(point); entry >= 0)
    return FirmwareButton::kFirstId + entry;
  return 0;
}

PagedPanel* UploadDialog::PanelAt(Point point) {
  for (PagedPanel* panel :
       {static_cast<PagedPanel*>(&speakerPanel), static_cast<PagedPanel*>(&firmwarePanel)}) {
    if (panel->Bounds().Contains(point))
      return panel;
  }
  return nullptr;
}

// The lists and the bar are child windows of their own: they keep the pointer from the dialog
// behind them, so a drag starts and follows only over the dialog's own surface.
void UploadDialog::MouseMove(Point point, bool leftButtonHeld) {
  windowThread.Expect("MouseMove");
  if (PagedPanel* panel = PanelAt(point)) {
    if (panel->MouseMove(point))
      frontEnd.Invalidate(panel->Bounds());
  } else if (leftButtonHeld && !ProgressBar::kBounds.Contains(point)) {
    // The window has no caption: it moves with the pointer, which stays over the same point.
    frontEnd.MoveWindowBy(point - dragOrigin);
  }
}

void UploadDialog::MousePress(Point point) {
  windowThread.Expect("MousePress");
  if (PagedPanel* panel = PanelAt(point)) {
    if (panel->MousePress(point))
      frontEnd.Invalidate(panel->Bounds());
  } else if (!ProgressBar::kBounds.Contains(point)) {
    dragOrigin = point;
  }
}

void UploadDialog::OnCommand(int id) {
  windowThread.Expect("OnCommand");
  switch (id) {
    case SpeakerPanel::kNotification:
      firmwarePanel.BuildCatalog(speakerPanel.SelectedType());
      frontEnd.Invalidate(FirmwarePanel::kBounds);
      break;
    case FirmwarePanel::kNotification:
      frontEnd.Invalidate(FirmwarePanel::kBounds);
      break;
    case kUploadCommand:
      Upload();
      break;
    case kHelpCommand:
      Help();
      break;
    case kExitCommand:
      RequestExit();
      break;
    case kAboutCommand:
      frontEnd.ShowAbout();
      break;
    default:
      break;
  }
}

void UploadDialog::Upload() {
  std::string path;
  if (!firmwarePanel.GetSelectedFile(path)) {
    prompts.ShowMessage(strings::kNoFirmwareMessage);
    return;
  }
  if (!session.StartUpload(path))
    prompts.ShowMessage(strings::kUploadRunningMessage);
}

void UploadDialog::Help() {
  ChangeView([](View& shown) { shown.box = NextHelpBox(shown.box); });
}

void UploadDialog::RequestExit() {
  windowThread.Expect("RequestExit");
  // The exit checks' message boxes let Escape or a second click arrive meanwhile.
  if (exiting)
    return;
  exiting = true;
  const bool mayEnd = RunExitSequence();
  exiting = false;
  if (mayEnd)
    frontEnd.EndWindow(0);
}

bool UploadDialog::RunExitSequence() {
  if (session.Uploading()) {
    if (!prompts.AskYesNo(strings::kExitDuringUploadQuestion))
      return false;
    session.ForgetUpload();
  }
  view.statusText = strings::kClosingStatus;
  // The exit checks block this thread for seconds: show the status line before them.
  frontEnd.PaintNow(kStatusRect);
  if (session.ConfirmExit().allowed)
    return true;
  view.statusText = strings::kIdleStatus;
  frontEnd.Invalidate(kStatusRect);
  return false;
}

void UploadDialog::RebuildCatalog() {
  // Until then the scan's result builds the list.
  if (view.searching)
    return;
  firmwarePanel.BuildCatalog(speakerPanel.SelectedType());
  frontEnd.Invalidate(FirmwarePanel::kBounds);
}

void UploadDialog::ScanFinished(const application::ScanResult& result) {
  // The process table and sysfs are read here, on the worker, never on the window's thread.
  std::string refusedPorts = RefusedPortsMessage(result.found, discoveryRoots);
  frontEnd.Post([this, result, refusedPorts = std::move(refusedPorts)] {
    ApplyScanResult(result, refusedPorts);
  });
}

void UploadDialog::UploadStarted() {
  frontEnd.Post([this] { ShowUploadStart(); });
}

void UploadDialog::UploadFinished(const application::UploadResult& result) {
  progress.ReportProgress(100);
  frontEnd.Post([this, result] { ShowUploadResult(result); });
}

void UploadDialog::ApplyScanResult(const application::ScanResult& result,
                                   const std::string& refusedPorts) {
  windowThread.Expect("ApplyScanResult");
  speakerPanel.Fill(result.found.bus);
  view.searching = false;
  InvalidateAll();
  const std::int32_t total = speakerPanel.TotalSpeakers();
  if (total == 0) {
    firmwarePanel.SetEntryCount(0);
  } else {
    // Boot loaders go to one speaker at a time only.
    firmwarePanel.SetHideBootFiles(total > 1 ? 1 : 0);
    firmwarePanel.BuildCatalog(speakerPanel.SelectedType());
  }
  if (result.found.unlistedSpeakers > 0 && !unlistedShown) {
    unlistedShown = true;
    prompts.ShowMessage(strings::kUnlistedSpeakersMessage);
  }
  if (!refusedPorts.empty())
    prompts.ShowMessage(refusedPorts);
}

void UploadDialog::ShowUploadStart() {
  ChangeView([](View& shown) {
    shown.statusText = strings::kUploadingStatus;
    // An open help page stays open during the upload.
    if (shown.box == BoxContent::kReport)
      shown.box = BoxContent::kNothing;
  });
}

void UploadDialog::ShowUploadResult(const application::UploadResult& result) {
  ChangeView([&result](View& shown) {
    shown.statusText = result.facts.status;
    shown.reportText = result.report;
    shown.box = BoxContent::kReport;
  });
}

void UploadDialog::Paint(Canvas& canvas) const {
  windowThread.Expect("Paint");
  canvas.CopyBitmap(BitmapId::kSkin, {0, 0});
  canvas.DrawText(FontName::kCaption, kText, {550, 96}, strings::kSelectSpeakers);
  canvas.DrawText(FontName::kCaption, kText, {550, 240}, strings::kSelectSoftware);
  if (view.searching) {
    canvas.DrawText(FontName::kBody, kText, {550, 120}, strings::kSearching);
    canvas.DrawText(FontName::kBody, kText, {550, 144}, strings::kSearchingLimit);
  }
  if (view.box == BoxContent::kReport)
    PaintReport(canvas);
  else if (view.box != BoxContent::kNothing)
    PaintHelpPage(canvas, view.box);
  canvas.DrawText(FontName::kStatus, kText, kStatusRect.TopLeft(), view.statusText);
  // The child windows stand over the dialog's own drawing.
  speakerPanel.Paint(canvas);
  firmwarePanel.Paint(canvas);
  progress.Paint(canvas);
}

void UploadDialog::PaintBox(Canvas& canvas, int height) const {
  // A black outline filled light grey, inside a light frame one pixel larger.
  canvas.FillRect({kBoxLeft + 1, kBoxTop + 1, kBoxWidth - 2, height - 2}, kBlack);
  canvas.FillRect({kBoxLeft + 2, kBoxTop + 2, kBoxWidth - 4, height - 4}, kBoxFill);
  canvas.FrameRect({kBoxLeft, kBoxTop, kBoxWidth, height}, kBoxFrame);
}

void UploadDialog::PaintHelpPage(Canvas& canvas, BoxContent page) const {
  PaintBox(canvas, kHelpBoxHeight);
  for (const HelpLine& line : HelpPageLines(page)) {
    canvas.DrawText(line.heading ? FontName::kHeading : FontName::kBody, kText,
                    {kTextLeft, line.top}, line.text);
  }
}

void UploadDialog::PaintReport(Canvas& canvas) const {
  const std::vector<std::string> lines = ReportBoxLines(view.reportText);
  // Lines below the window cannot be seen; the box is cut off at its edge.
  const auto visibleLines =
      static_cast<int>(std::min<std::size_t>(lines.size(), kClientHeight / kReportLineHeight + 1));
  const int height = lines.size() > static_cast<std::size_t>(visibleLines)
                         ? kClientHeight
                         : 40 + kReportLineHeight * visibleLines;
  PaintBox(canvas, height);
  for (int j = 1; j <= visibleLines; ++j) {
    canvas.DrawText(FontName::kBody, kText, {kTextLeft, kBoxTop + kReportLineHeight * j},
                    lines[static_cast<std::size_t>(j - 1)]);
  }
}

}  // namespace flashdesk::window
