#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Reading the small text files of /sys and /proc, where any entry may vanish or hold nonsense.
namespace flashdesk::platform {

// The first line of the file without its line end or trailing blanks; empty when it cannot
// be read.
std::string ReadAttribute(const std::filesystem::path& file);

// A USB id file: up to four hex digits; absent for anything else.
std::optional<std::uint16_t> ReadHexId(const std::filesystem::path& file);

bool IsFile(const std::filesystem::path& path);

}  // namespace flashdesk::platform
