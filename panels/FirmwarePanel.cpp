#include "panels/FirmwarePanel.h"

#include "panels/GuiThread.h"
#include "resources/Strings.h"

namespace flashdesk {

FirmwarePanel::FirmwarePanel(platform::Prompts& prompts, QWidget* parent)
    : PagedPanel(QString::fromLatin1(strings::kMoreVersions), parent),
      catalog([&prompts](const std::string& message) { prompts.ShowMessage(message); }) {
  for (int i = 0; i < FirmwareCatalog::kMaxEntries; ++i) {
    entries[i] = new FirmwareButton(catalog, i, this);
    entries[i]->setGeometry(0, EntryTop(i), 200, kEntryHeight);
    entries[i]->hide();
    ConnectEntry(*entries[i]);
  }
}

void FirmwarePanel::BuildCatalog(std::int32_t type) {
  ExpectOwnThread(this);
  catalog.BuildCatalog(type);
  ResetPage();
  ApplyLayout();
}

void FirmwarePanel::SetEntryCount(std::int32_t count) {
  catalog.SetEntryCount(count);
  ApplyLayout();
}

QString FirmwarePanel::EmptyListText() const {
  return QString::fromLatin1(strings::kNoFirmwareFound);
}

void FirmwarePanel::OnEntryCommand(int id) {
  if (id < FirmwareButton::kFirstId ||
      id >= FirmwareButton::kFirstId + FirmwareCatalog::kMaxEntries)
    return;
  catalog.ClearSelectionExcept(id - FirmwareButton::kFirstId);
  for (FirmwareButton* entry : entries)
    entry->update();
  emit Command(kNotification);
}

}  // namespace flashdesk
