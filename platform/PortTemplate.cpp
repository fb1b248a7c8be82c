#include "platform/PortTemplate.h"

#include <cstdlib>

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

std::optional<std::string> EnvironmentPortTemplate(std::string& problem) {
  const char* configured = std::getenv(kPortTemplateVariable);
  if (configured == nullptr || *configured == '\0') {
    return DefaultPortTemplate();
  }
  if (!ExpandPortTemplate(configured, 0)) {
    problem = std::string(kPortTemplateVariable) + " is \"" + configured +
              "\": it needs exactly one %i (the port number) and no other % conversion";
    return std::nullopt;
  }
  return configured;
}

}  // namespace flashdesk::platform
