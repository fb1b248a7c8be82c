#include <cstdlib>

#include "platform/PortTemplate.h"
#include "platform/SerialApi.h"
#include "platform/Trace.h"

namespace flashdesk::platform {

std::string PortDevicePath(std::int16_t port) {
  static const char* const kDefaultTemplate = "/dev/ttyUSB%i";
  const char* configured = std::getenv("FLASHDESK_PORT_TEMPLATE");
  if (configured != nullptr && *configured != '\0') {
    if (auto path = ExpandPortTemplate(configured, port)) {
      return *path;
    }
    Trace(std::string("FLASHDESK_PORT_TEMPLATE \"") + configured +
          "\" needs exactly one %i and no other conversion; using " + kDefaultTemplate);
  }
  return *ExpandPortTemplate(kDefaultTemplate, port);
}

}  // namespace flashdesk::platform
