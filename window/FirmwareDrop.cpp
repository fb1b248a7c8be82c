#include "window/FirmwareDrop.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "application/Session.h"
#include "resources/Strings.h"

namespace flashdesk::window {
namespace {

namespace fs = std::filesystem;

bool IsSyxFile(const fs::path& path) {
  std::string extension = path.extension().u8string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".syx";
}

// Why source may not become target; empty when it may.
std::string RefusalOf(const fs::path& source, const fs::path& target) {
  std::error_code error;
  if (!IsSyxFile(source))
    return strings::kDropNotFirmware;
  if (fs::exists(fs::symlink_status(target, error)))
    return strings::kDropNameTaken;
  if (!application::Session::Refusal(source.u8string()).empty())
    return strings::kDropImageRefused;
  return {};
}

void AppendSection(std::string& text, const char* heading, const std::vector<std::string>& lines) {
  if (lines.empty())
    return;
  if (!text.empty())
    text += "\n";
  text += heading;
  for (const std::string& line : lines)
    text += "\n  " + line;
}

}  // namespace

DropOutcome CopyFirmwareFiles(const std::vector<std::string>& paths, const std::string& folder) {
  DropOutcome outcome;
  const fs::path destination = fs::u8path(folder);
  std::error_code error;
  // A folder that cannot be made fails every copy below, each with the system's reason.
  fs::create_directories(destination, error);
  for (const std::string& path : paths) {
    const fs::path source = fs::u8path(path);
    const std::string name = source.filename().u8string();
    std::string refusal = RefusalOf(source, destination / source.filename());
    // Without overwrite the copy also fails for a file that appeared since the check.
    if (refusal.empty() && !fs::copy_file(source, destination / source.filename(), error))
      refusal = error.message();
    if (refusal.empty())
      outcome.copied.push_back(name);
    else
      outcome.refused.push_back(name + ": " + refusal);
  }
  return outcome;
}

std::string DropMessage(const DropOutcome& outcome) {
  std::string text;
  AppendSection(text, strings::kDropCopiedHeading, outcome.copied);
  AppendSection(text, strings::kDropRefusedHeading, outcome.refused);
  return text;
}

}  // namespace flashdesk::window
