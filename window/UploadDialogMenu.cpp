#include <filesystem>
#include <system_error>

#include "platform/PortTemplate.h"
#include "platform/ReplaceFileContents.h"
#include "platform/Trace.h"
#include "resources/Strings.h"
#include "window/FirmwareDrop.h"
#include "window/UploadDialog.h"

// The window's context menu and what its items do.
namespace flashdesk::window {
namespace {

// A value that cannot be stored only costs the next start its choice: traced, not shown.
void Remember(platform::SettingsStore& settings, const char* name, const std::string& value) {
  if (!settings.OpenSection() || !settings.WriteValue(name, value))
    platform::Trace(std::string(name) + " " + value + " not remembered");
}

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path absolute =
      std::filesystem::absolute(std::filesystem::u8path(folder), error);
  return error ? folder : absolute.u8string();
}

}  // namespace

void UploadDialog::RequestMenu(Point at) {
  windowThread.Expect("RequestMenu");
  const std::optional<std::string>& current = session.PinnedPort();
  std::vector<MenuItem> ports = {
      MenuItem::Choice(kAutomaticItem, strings::kAutomaticPortItem, !current),
      MenuItem::Separator()};
  offeredDevices.clear();
  for (const platform::SerialDevice& device :
       platform::DiscoverSerialPorts(session.Serial(), ScanOutcome::kHighestPort, discoveryRoots)) {
    offeredDevices.push_back(device.path);
    const std::string text =
        device.product.empty() ? device.path : device.path + "  " + device.product;
    ports.push_back(MenuItem::Choice(kAutomaticItem + static_cast<int>(offeredDevices.size()), text,
                                     current == device.path));
  }
  frontEnd.ShowContextMenu(
      at,
      {MenuItem::Command(kSaveReportItem, strings::kSaveReportItem, !view.reportText.empty()),
       MenuItem::Separator(), MenuItem::Command(kFirmwareFolderItem, strings::kFirmwareFolderItem),
       MenuItem::Command(kOpenFirmwareFolderItem, strings::kOpenFirmwareFolderItem),
       // Until the running search ends, another would only wait for it.
       MenuItem::Submenu(strings::kSerialPortMenu, !view.searching, ports), MenuItem::Separator(),
       MenuItem::Command(kAboutCommand, strings::kAboutItem)});
}

void UploadDialog::ChooseMenuItem(int id) {
  windowThread.Expect("ChooseMenuItem");
  if (id == kSaveReportItem) {
    SaveReport();
  } else if (id == kFirmwareFolderItem) {
    ChooseFirmwareFolder();
  } else if (id == kOpenFirmwareFolderItem) {
    OpenFirmwareFolder();
  } else if (id == kAboutCommand) {
    OnCommand(kAboutCommand);
  } else if (id == kAutomaticItem) {
    ChoosePort(std::nullopt);
  } else if (id > kAutomaticItem &&
             id - kAutomaticItem <= static_cast<int>(offeredDevices.size())) {
    ChoosePort(offeredDevices[static_cast<std::size_t>(id - kAutomaticItem - 1)]);
  }
}

void UploadDialog::SaveReport() {
  // What the box showed when the user asked, also when an upload ends meanwhile.
  std::string text;
  for (const std::string& line : ReportBoxLines(view.reportText))
    text += line + "\n";
  const std::optional<std::string> path = frontEnd.ChooseReportFile(strings::kReportFileName);
  if (!path)
    return;
  std::string problem;
  if (!platform::ReplaceFileContents(*path, text, problem))
    prompts.ShowMessage(strings::kReportNotSavedMessage + *path + ":\n" + problem);
}

void UploadDialog::ChooseFirmwareFolder() {
  const std::optional<std::string> folder =
      frontEnd.ChooseFolder(AbsoluteFolder(firmwarePanel.Folder()));
  if (!folder)
    return;
  firmwarePanel.SetFolder(*folder);
  Remember(session.Settings(), kFolderValueName, *folder);
  RebuildCatalog();
}

void UploadDialog::OpenFirmwareFolder() {
  const std::string folder = AbsoluteFolder(firmwarePanel.Folder());
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::u8path(folder), error);
  if (error || !frontEnd.OpenFolder(folder))
    prompts.ShowMessage(strings::kFolderNotOpenedMessage + folder);
}

void UploadDialog::DropFiles(const std::vector<std::string>& paths) {
  windowThread.Expect("DropFiles");
  const DropOutcome outcome = CopyFirmwareFiles(paths, firmwarePanel.Folder());
  RebuildCatalog();
  prompts.ShowMessage(DropMessage(outcome));
}

void UploadDialog::ChoosePort(const std::optional<std::string>& path) {
  if (session.Uploading()) {
    prompts.ShowMessage(strings::kUploadRunningMessage);
    return;
  }
  if (!session.SearchAgain(path))
    return;
  ChangeView([](View& shown) { shown.searching = true; });
  if (platform::RemembersChosenDevice())
    Remember(session.Settings(), kPortPathValueName, path.value_or(""));
}

}  // namespace flashdesk::window
