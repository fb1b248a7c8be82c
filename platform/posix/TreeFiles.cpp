#include "platform/posix/TreeFiles.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace flashdesk::platform {

std::string ReadAttribute(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

std::optional<std::uint16_t> ReadHexId(const std::filesystem::path& file) {
  const std::string text = ReadAttribute(file);
  if (text.empty() || text.size() > 4)
    return std::nullopt;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 16);
  if (*end != '\0')
    return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace flashdesk::platform
