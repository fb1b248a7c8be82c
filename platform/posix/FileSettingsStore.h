#pragma once

#include <string>
#include <vector>

#include "platform/SettingsStore.h"

namespace flashdesk::platform {

// $XDG_CONFIG_HOME/TARN-System.conf, or ~/.config/TARN-System.conf when that variable is not
// an absolute path: where the window has always kept the port.
std::string UserSettingsPath();

// Settings in an INI file as QSettings writes it: the keys of [General] (or of no section),
// one key=value a line; ';' and '#' begin comments, a value may be quoted. OpenSection reads
// the file; WriteValue replaces it atomically (temporary file, then rename) and keeps every
// other line. A file that cannot be read, is larger than kMaxFileBytes or holds a line that
// is neither a section, a setting nor a comment fails OpenSection, so it is neither used nor
// overwritten. WriteValue refuses what would not read back: a value of kMaxValueBytes or more,
// or a file grown beyond kMaxFileBytes. One thread at a time.
class FileSettingsStore : public SettingsStore {
 public:
  static constexpr long kMaxFileBytes = 1 << 20;

  FileSettingsStore(std::string path, SettingsWarning warn);

  bool OpenSection() override;
  bool ReadValue(const std::string& name, std::string& value) override;
  bool WriteValue(const std::string& name, const std::string& value) override;

 private:
  // The file's lines after a successful OpenSection, line ends removed.
  bool Load(std::vector<std::string>& text);
  bool ReplaceFile(const std::vector<std::string>& text);

  std::string path;
  SettingsProblems problems;
  bool open = false;
  std::vector<std::string> lines;
};

}  // namespace flashdesk::platform
