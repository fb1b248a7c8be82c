#pragma once

#include <cstdint>

#include "catalog/FirmwareCatalog.h"
#include "panels/CheckEntry.h"

namespace flashdesk {

// One firmware file in the firmware list: its check box, software kind and version. The
// file's data is the catalog's slot of the same index.
class FirmwareButton : public CheckEntry {
  Q_OBJECT

 public:
  static constexpr int kFirstId = 1600;

  FirmwareButton(FirmwareCatalog& catalog, std::int32_t slot, QWidget* parent);

  // The line shown for a file, e.g. "Application | Ver 1.23"; empty for an unknown kind.
  static QString LineFor(std::int32_t kind, std::int32_t version);

  bool IsSelected() const override { return catalog.Selected(slot); }

 protected:
  void ToggleSelected() override { catalog.SetSelected(slot, !catalog.Selected(slot)); }
  QString EntryText() const override;
  QColor TickedFill() const override { return QColor(246, 157, 105); }

 private:
  FirmwareCatalog& catalog;
  const std::int32_t slot;
};

}  // namespace flashdesk
