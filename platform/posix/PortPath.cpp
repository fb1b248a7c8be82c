#include "platform/PortTemplate.h"

namespace flashdesk::platform {

const char* DefaultPortTemplate() {
  return "/dev/ttyUSB%i";
}

bool RemembersChosenDevice() {
  return true;
}

}  // namespace flashdesk::platform
