#include "panels/FirmwareButton.h"

#include "protocol/Protocol.h"
#include "resources/Strings.h"

namespace flashdesk {

FirmwareButton::FirmwareButton(FirmwareCatalog& catalog, std::int32_t slot, QWidget* parent)
    : CheckEntry(kFirstId + slot, parent), catalog(catalog), slot(slot) {}

QString FirmwareButton::LineFor(std::int32_t kind, std::int32_t version) {
  const char* format = nullptr;
  switch (kind) {
    case kKindBoot:
      format = strings::kBootLoaderLine;
      break;
    case kKindTest:
      format = strings::kTestSoftwareLine;
      break;
    case kKindApplication:
      format = strings::kApplicationLine;
      break;
    default:
      return QString();
  }
  // asprintf ignores the process locale: the decimal point stays a point.
  return QString::asprintf(format, version * 0.01);
}

QString FirmwareButton::EntryText() const {
  const FirmwareEntry entry = catalog.Entry(slot);
  return LineFor(entry.kind, entry.version);
}

}  // namespace flashdesk
