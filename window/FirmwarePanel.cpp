#include "window/FirmwarePanel.h"

#include <utility>

#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "resources/Strings.h"

namespace flashdesk::window {
namespace {

constexpr Colour kTickedFill{246, 157, 105};

}  // namespace

std::string FirmwareButton::LineFor(std::int32_t kind, std::int32_t version) {
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
      return {};
  }
  std::string line = format;
  // The number as "%1.2f" would print it, with a point whatever the process locale.
  line.replace(line.find("%1.2f"), 5, FormatVersion(version));
  return line;
}

FirmwarePanel::FirmwarePanel(FirmwareCatalog::MessageSink showMessage,
                             std::function<void(int)> notify)
    : PagedPanel(kBounds, 200, FirmwareCatalog::kMaxEntries, strings::kMoreVersions, kTickedFill),
      catalog(std::move(showMessage)),
      notify(std::move(notify)) {}

void FirmwarePanel::BuildCatalog(std::int32_t type) {
  catalog.BuildCatalog(type);
  ResetPage();
}

std::string FirmwarePanel::EntryText(int index) const {
  const FirmwareEntry entry = catalog.Entry(index);
  return FirmwareButton::LineFor(entry.kind, entry.version);
}

std::string FirmwarePanel::EmptyListText() const {
  return strings::kNoFirmwareFound;
}

void FirmwarePanel::OnEntryClicked(int index) {
  catalog.ClearSelectionExcept(index);
  notify(kNotification);
}

}  // namespace flashdesk::window
