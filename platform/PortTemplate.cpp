#include "platform/PortTemplate.h"

namespace flashdesk::platform {

std::optional<std::string> ExpandPortTemplate(const std::string& pattern, std::int16_t port) {
  std::string path;
  int conversions = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      path += pattern[i];
      continue;
    }
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (next == '%') {
      path += '%';
    } else if (next == 'i') {
      path += std::to_string(port);
      ++conversions;
    } else {
      return std::nullopt;
    }
    ++i;
  }
  if (conversions != 1) {
    return std::nullopt;
  }
  return path;
}

}  // namespace flashdesk::platform
