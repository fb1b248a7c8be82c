#include "platform/SerialApi.h"

namespace flashdesk::platform {

// The device-namespace form: the plain "COM10:" cannot be opened above COM9.
std::string PortDevicePath(std::int16_t port) {
  return "\\\\.\\COM" + std::to_string(port);
}

}  // namespace flashdesk::platform
