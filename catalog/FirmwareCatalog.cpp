#include "catalog/FirmwareCatalog.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/FileSearch.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "resources/Strings.h"

namespace flashdesk {
namespace {

constexpr const char* kNoPattern = "Not An Upload File";

// Appends the matches of one group, stopping when the list is full.
void CollectMatches(const std::string& folder, const std::string& pattern, std::int32_t kind,
                    std::vector<FirmwareEntry>& found) {
  const char separator = platform::PathSeparator();
  for (const std::string& name : platform::FindFiles(folder, pattern + ".syx")) {
    if (static_cast<std::int32_t>(found.size()) >= FirmwareCatalog::kMaxEntries)
      break;
    found.push_back(
        {FirmwareCatalog::VersionFromName(name), false, folder + separator + name, kind});
  }
}

// The files of a model in listing order: application files, then boot-loader files (unless
// left out), then test files, at most kMaxEntries.
std::vector<FirmwareEntry> FindUploadFiles(const std::string& folder,
                                           const FirmwarePatterns& patterns, bool withBootFiles) {
  std::vector<FirmwareEntry> found;
  CollectMatches(folder, patterns.application, kKindApplication, found);
  if (withBootFiles)
    CollectMatches(folder, patterns.bootLoader, kKindBoot, found);
  CollectMatches(folder, patterns.testSoftware, kKindTest, found);
  return found;
}

}  // namespace

FirmwareCatalog::FirmwareCatalog(MessageSink showMessage) : showMessage(std::move(showMessage)) {}

void FirmwareCatalog::SetFolder(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock);
  folder = path;
}

std::string FirmwareCatalog::Folder() const {
  std::lock_guard<std::mutex> guard(lock);
  return folder;
}

FirmwarePatterns FirmwareCatalog::PatternsFor(std::int32_t type) {
  const SpeakerModel* model = FindModel(type);
  if (!model)
    return {kNoPattern, kNoPattern, kNoPattern};
  return {std::string(model->filePrefix) + "*", std::string(kBootFilePrefix) + "*",
          std::string(kTestFilePrefix) + "*"};
}

std::int32_t FirmwareCatalog::VersionFromName(const std::string& name) {
  const std::size_t lastV = name.rfind('V');
  const std::size_t p = lastV == std::string::npos ? 0 : lastV + 1;
  // Names the search delivers always hold these positions; a shorter one counts a missing
  // character as 0 rather than reading past the end.
  const auto digit = [&name](std::size_t at) -> std::int32_t {
    const std::int32_t character = at < name.size() ? static_cast<signed char>(name[at]) : 0;
    return character - '0';
  };
  return digit(p) * 100 + digit(p + 2) * 10 + digit(p + 3);
}

void FirmwareCatalog::BuildCatalog(std::int32_t type) {
  const std::vector<FirmwareEntry> found =
      FindUploadFiles(Folder(), PatternsFor(type), hideBootFiles != 1);
  const auto count = static_cast<std::int32_t>(found.size());
  {
    std::lock_guard<std::mutex> guard(lock);
    std::copy(found.begin(), found.end(), files.begin());
    entryCount = count;
    files[0].selected = true;
  }
  // Said whenever the list is full, also when nothing was left out.
  if (count >= kMaxEntries && showMessage)
    showMessage(strings::kIncompleteListMessage);
}

void FirmwareCatalog::SetEntryCount(std::int32_t count) {
  std::lock_guard<std::mutex> guard(lock);
  entryCount = count < 0 ? 0 : (count > kMaxEntries ? kMaxEntries : count);
}

bool FirmwareCatalog::GetSelectedFile(std::string& path) const {
  std::lock_guard<std::mutex> guard(lock);
  path.clear();
  bool found = false;
  for (std::int32_t i = 0; i < entryCount; ++i) {
    if (files[i].selected) {
      path = files[i].path;
      found = true;
    }
  }
  return found;
}

std::int32_t FirmwareCatalog::EntryCount() const {
  std::lock_guard<std::mutex> guard(lock);
  return entryCount;
}

FirmwareEntry FirmwareCatalog::Entry(std::int32_t slot) const {
  if (!ValidSlot(slot))
    return {};
  std::lock_guard<std::mutex> guard(lock);
  return files[slot];
}

bool FirmwareCatalog::Selected(std::int32_t slot) const {
  if (!ValidSlot(slot))
    return false;
  std::lock_guard<std::mutex> guard(lock);
  return files[slot].selected;
}

void FirmwareCatalog::SetSelected(std::int32_t slot, bool selected) {
  if (!ValidSlot(slot))
    return;
  std::lock_guard<std::mutex> guard(lock);
  files[slot].selected = selected;
}

void FirmwareCatalog::ClearSelectionExcept(std::int32_t keep) {
  std::lock_guard<std::mutex> guard(lock);
  for (std::int32_t i = 0; i < kMaxEntries; ++i) {
    if (i != keep)
      files[i].selected = false;
  }
}

}  // namespace flashdesk
