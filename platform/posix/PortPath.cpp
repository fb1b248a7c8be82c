#include "platform/PortTemplate.h"

namespace flashdesk::platform {

const char* DefaultPortTemplate() {
  return "/dev/ttyUSB%i";
}

}  // namespace flashdesk::platform
