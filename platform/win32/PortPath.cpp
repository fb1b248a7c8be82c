#include "platform/PortTemplate.h"

namespace flashdesk::platform {

// The device-namespace form: the plain "COM10:" cannot be opened above COM9.
const char* DefaultPortTemplate() {
  return "\\\\.\\COM%i";
}

bool RemembersChosenDevice() {
  return false;
}

}  // namespace flashdesk::platform
