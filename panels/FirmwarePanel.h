#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "catalog/FirmwareCatalog.h"
#include "panels/FirmwareButton.h"
#include "panels/PagedPanel.h"
#include "platform/Prompts.h"

namespace flashdesk {

// The list of firmware files for the selected model ("Select Software"). Holds the catalog;
// at most one file is selected. Sends Command(1600) when an entry is clicked.
class FirmwarePanel : public PagedPanel {
  Q_OBJECT

 public:
  static constexpr int kNotification = 1600;

  // prompts tells the user when the catalog is full.
  FirmwarePanel(platform::Prompts& prompts, QWidget* parent);

  // Rebuilds the catalog for a model and shows its first page. Window's thread only: it may
  // show a message box.
  void BuildCatalog(std::int32_t type);
  void SetHideBootFiles(std::int32_t value) { catalog.SetHideBootFiles(value); }
  // The folder the next build searches; any thread.
  void SetFolder(const std::string& path) { catalog.SetFolder(path); }
  std::string Folder() const { return catalog.Folder(); }
  // Any thread.
  void SetEntryCount(std::int32_t count);
  // Any thread.
  bool GetSelectedFile(std::string& path) const { return catalog.GetSelectedFile(path); }

  const FirmwareCatalog& Catalog() const { return catalog; }
  FirmwareButton& Entry(int index) { return *entries[index]; }

 protected:
  std::int32_t ListedEntries() const override { return catalog.EntryCount(); }
  int EntrySlots() const override { return FirmwareCatalog::kMaxEntries; }
  CheckEntry& EntryAt(int index) override { return *entries[index]; }
  QString EmptyListText() const override;
  void OnEntryCommand(int id) override;

 private:
  FirmwareCatalog catalog;
  std::array<FirmwareButton*, FirmwareCatalog::kMaxEntries> entries{};
};

}  // namespace flashdesk
