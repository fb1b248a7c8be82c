#include "platform/SerialApi.h"

#include "platform/PortTemplate.h"
#include "platform/Trace.h"

namespace flashdesk::platform {

std::string SerialApi::PortPath(std::int16_t port) {
  if (!portTemplate.empty()) {
    return *ExpandPortTemplate(portTemplate, port);
  }
  std::string problem;
  const std::optional<std::string> configured = EnvironmentPortTemplate(problem);
  if (!configured) {
    Trace(problem + "; using " + DefaultPortTemplate());
  }
  return *ExpandPortTemplate(configured.value_or(DefaultPortTemplate()), port);
}

bool SerialApi::SetPortTemplate(const std::string& pattern) {
  if (!ExpandPortTemplate(pattern, 0)) {
    return false;
  }
  portTemplate = pattern;
  return true;
}

}  // namespace flashdesk::platform
