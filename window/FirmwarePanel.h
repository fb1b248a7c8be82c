#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "catalog/FirmwareCatalog.h"
#include "window/PagedPanel.h"

namespace flashdesk::window {

// One firmware file in the firmware list; its data is the catalog's slot of the same index.
struct FirmwareButton {
  static constexpr int kFirstId = 1600;

  // The line shown for a file, e.g. "Application | Ver 1.23"; empty for an unknown kind.
  static std::string LineFor(std::int32_t kind, std::int32_t version);
};

// The list of firmware files for the selected model ("Select Software"). Holds the catalog;
// at most one file is selected. Every click on an entry's box tells the dialog
// (kNotification).
class FirmwarePanel : public PagedPanel {
 public:
  static constexpr int kNotification = 1600;
  static constexpr Rect kBounds{550, 268, 300, 100};

  // showMessage tells the user when the catalog is full; notify receives kNotification.
  FirmwarePanel(FirmwareCatalog::MessageSink showMessage, std::function<void(int)> notify);

  // Rebuilds the catalog for a model and shows its first page.
  void BuildCatalog(std::int32_t type);
  void SetHideBootFiles(std::int32_t value) { catalog.SetHideBootFiles(value); }
  void SetFolder(const std::string& path) { catalog.SetFolder(path); }
  std::string Folder() const { return catalog.Folder(); }
  void SetEntryCount(std::int32_t count) { catalog.SetEntryCount(count); }
  bool GetSelectedFile(std::string& path) const { return catalog.GetSelectedFile(path); }
  const FirmwareCatalog& Catalog() const { return catalog; }

 protected:
  std::int32_t ListedEntries() const override { return catalog.EntryCount(); }
  bool IsSelected(int index) const override { return catalog.Selected(index); }
  void ToggleSelected(int index) override { catalog.SetSelected(index, !catalog.Selected(index)); }
  std::string EntryText(int index) const override;
  std::string EmptyListText() const override;
  void OnEntryClicked(int index) override;

 private:
  FirmwareCatalog catalog;
  std::function<void(int)> notify;
};

}  // namespace flashdesk::window
