#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "protocol/Protocol.h"

namespace flashdesk {

// One firmware file offered for upload.
struct FirmwareEntry {
  std::int32_t version = 0;  // hundredths: 123 stands for 1.23
  bool selected = false;
  std::string path;
  std::int32_t kind = kKindApplication;  // or kKindBoot, kKindTest
};

// File-name patterns of one speaker model, without folder and extension.
struct FirmwarePatterns {
  std::string application;
  std::string bootLoader;
  std::string testSoftware;
};

// The firmware files that can be uploaded to the selected model, found by name in one folder.
// Thread-safe: the window's thread builds it, the upload thread reads the selection.
class FirmwareCatalog {
 public:
  static constexpr std::int32_t kMaxEntries = 60;
  // The folder searched unless the user chose another: "syx" of the working directory.
  static constexpr const char* kFolderName = "syx";

  using MessageSink = std::function<void(const std::string&)>;

  // showMessage tells the user when the list is full; it is called without any lock held.
  explicit FirmwareCatalog(MessageSink showMessage);
  FirmwareCatalog(const FirmwareCatalog&) = delete;
  FirmwareCatalog& operator=(const FirmwareCatalog&) = delete;

  // Replaces the list: application files, then boot-loader files (unless hidden), then test
  // files, at most kMaxEntries; the first entry is selected.
  void BuildCatalog(std::int32_t type);
  // The folder the next build searches.
  void SetFolder(const std::string& path);
  std::string Folder() const;
  // 1 leaves the boot-loader files out of the next build.
  void SetHideBootFiles(std::int32_t value) { hideBootFiles = value; }
  // Empties the list (0) or shortens it; clamped to the slots that exist.
  void SetEntryCount(std::int32_t count);
  // The path of the selected entry; false when none is selected.
  bool GetSelectedFile(std::string& path) const;

  std::int32_t EntryCount() const;
  // A copy of slot i (0 to kMaxEntries - 1); slots at and beyond EntryCount keep what an
  // earlier build left. Out of range gives an empty entry.
  FirmwareEntry Entry(std::int32_t slot) const;
  bool Selected(std::int32_t slot) const;
  void SetSelected(std::int32_t slot, bool selected);
  // Clears the selection of every slot but keep.
  void ClearSelectionExcept(std::int32_t keep);

  static FirmwarePatterns PatternsFor(std::int32_t type);
  // Three characters after the last uppercase V, the one right after it skipped; the whole
  // name when it holds no uppercase V. Characters are not checked for being digits.
  static std::int32_t VersionFromName(const std::string& name);

 private:
  static bool ValidSlot(std::int32_t slot) { return slot >= 0 && slot < kMaxEntries; }

  MessageSink showMessage;
  mutable std::mutex lock;
  std::string folder = kFolderName;
  std::array<FirmwareEntry, kMaxEntries> files;
  std::int32_t entryCount = 0;
  std::atomic<std::int32_t> hideBootFiles{1};
};

}  // namespace flashdesk
