#include "platform/posix/FileSettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/ReplaceFileContents.h"
#include "platform/SystemError.h"
#include "platform/posix/UniqueFd.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFileName = "TARN-System.conf";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IsGeneral(const std::string& section) {
  static const std::string kGeneral = "general";
  if (section.size() != kGeneral.size()) {
    return false;
  }
  for (std::size_t i = 0; i < section.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(section[i])) != kGeneral[i]) {
      return false;
    }
  }
  return true;
}

enum class LineKind { kBlank, kSection, kSetting, kMalformed };

struct ParsedLine {
  LineKind kind = LineKind::kBlank;
  std::string name;  // of the section or the key
  std::string value;
};

// QSettings quotes a value when it must; a plain value ends at a comment.
std::string SettingValue(const std::string& raw) {
  const std::string text = Trimmed(raw);
  if (!text.empty() && text[0] == '"') {
    const std::size_t close = text.find('"', 1);
    return text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return Trimmed(text.substr(0, text.find(';')));
}

ParsedLine Parse(const std::string& line) {
  const std::string text = Trimmed(line);
  if (text.empty() || text[0] == ';' || text[0] == '#') {
    return {};
  }
  if (text[0] == '[') {
    const std::size_t end = text.find(']');
    if (end == std::string::npos) {
      return {LineKind::kMalformed, "", ""};
    }
    return {LineKind::kSection, Trimmed(text.substr(1, end - 1)), ""};
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) {
    return {LineKind::kMalformed, "", ""};
  }
  return {LineKind::kSetting, Trimmed(text.substr(0, equals)),
          SettingValue(text.substr(equals + 1))};
}

// Where name is set in the general section (the last line wins, as in QSettings) and where
// that section's header stands.
struct Position {
  std::optional<std::size_t> setting;
  std::optional<std::size_t> header;
};

Position Locate(const std::vector<std::string>& lines, const std::string& name) {
  Position found;
  bool general = true;  // lines before any section belong to it
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine line = Parse(lines[i]);
    if (line.kind == LineKind::kSection) {
      general = IsGeneral(line.name);
      if (general && !found.header) {
        found.header = i;
      }
    } else if (line.kind == LineKind::kSetting && general && line.name == name) {
      found.setting = i;
    }
  }
  return found;
}

}  // namespace

std::string UserSettingsPath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') {
    return std::string(configHome) + "/" + kFileName;
  }
  const char* home = std::getenv("HOME");
  std::string homePath = home != nullptr ? home : "";
  if (homePath.empty()) {
    if (const passwd* user = ::getpwuid(::getuid())) {
      homePath = user->pw_dir;
    }
  }
  return homePath + "/.config/" + kFileName;
}

std::unique_ptr<SettingsStore> UserSettingsStore(SettingsWarning warn) {
  return std::make_unique<FileSettingsStore>(UserSettingsPath(), std::move(warn));
}

FileSettingsStore::FileSettingsStore(std::string path, SettingsWarning warn)
    : path(std::move(path)), problems(std::move(warn)) {}

bool FileSettingsStore::OpenSection() {
  open = Load(lines);
  return open;
}

bool FileSettingsStore::ReadValue(const std::string& name, std::string& value) {
  if (!open) {
    return false;
  }
  const Position at = Locate(lines, name);
  if (!at.setting) {
    return false;
  }
  const std::string text = Parse(lines[*at.setting]).value;
  if (text.size() >= static_cast<std::size_t>(kMaxValueBytes)) {
    return false;
  }
  value = text;
  return true;
}

bool FileSettingsStore::WriteValue(const std::string& name, const std::string& value) {
  const std::string line = name + "=" + value;
  const ParsedLine readBack = Parse(line);
  // Only what reads back unchanged is written: no line breaks, comments or quotes, and nothing
  // ReadValue finds too long.
  if (!open || readBack.kind != LineKind::kSetting || readBack.name != name ||
      readBack.value != value || line.find('\n') != std::string::npos ||
      value.size() >= static_cast<std::size_t>(kMaxValueBytes)) {
    return false;
  }
  std::vector<std::string> text = lines;
  const Position at = Locate(text, name);
  if (at.setting) {
    text[*at.setting] = line;
  } else if (at.header) {
    text.insert(text.begin() + static_cast<long>(*at.header) + 1, line);
  } else {
    // QSettings writes [General] first; anything before another section stays in it.
    text.insert(text.begin(), {"[General]", line});
  }
  if (!ReplaceFile(text)) {
    return false;
  }
  lines = std::move(text);
  return true;
}

bool FileSettingsStore::Load(std::vector<std::string>& text) {
  const auto unusable = [this](const std::string& why) {
    problems.Report("The settings file " + path + " " + why +
                    "; the saved port is neither used nor changed");
    return false;
  };
  text.clear();
  // Non-blocking, so that a FIFO in its place cannot hang the program.
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Get() < 0) {
    // No file yet (or no folder for it): nothing saved, as for a first run.
    return errno == ENOENT || errno == ENOTDIR ||
           unusable("cannot be read (" + SystemMessage(errno) + ")");
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return unusable("is not a regular file");
  }
  if (info.st_size > kMaxFileBytes) {
    return unusable("is larger than " + std::to_string(kMaxFileBytes) + " bytes");
  }
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return unusable("cannot be read (" + SystemMessage(errno) + ")");
    }
    if (got == 0) {
      break;
    }
    content.append(buffer, static_cast<std::size_t>(got));
    if (content.size() > static_cast<std::size_t>(kMaxFileBytes)) {
      return unusable("is larger than " + std::to_string(kMaxFileBytes) + " bytes");
    }
  }
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find('\n', start);
    text.push_back(content.substr(start, end == std::string::npos ? end : end - start));
    start = end == std::string::npos ? content.size() : end + 1;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Parse(text[i]).kind == LineKind::kMalformed) {
      return unusable("has a line that is neither a [section] nor a key=value setting (line " +
                      std::to_string(i + 1) + ")");
    }
  }
  return true;
}

bool FileSettingsStore::ReplaceFile(const std::vector<std::string>& text) {
  std::string content;
  for (const std::string& line : text) {
    content += line + '\n';
  }
  // A larger file would be refused by the next start, and the port with it.
  if (content.size() > static_cast<std::size_t>(kMaxFileBytes)) {
    problems.Report("Cannot write the settings file " + path + ": it would grow beyond " +
                    std::to_string(kMaxFileBytes) + " bytes; the port is not remembered");
    return false;
  }
  std::string problem;
  if (platform::ReplaceFileContents(path, content, problem)) {
    return true;
  }
  problems.Report("Cannot write the settings file " + path + " (" + problem +
                  "): the port is not remembered");
  return false;
}

}  // namespace flashdesk::platform
