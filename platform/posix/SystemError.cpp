#include "platform/SystemError.h"

#include <cerrno>
#include <system_error>

namespace flashdesk::platform {

std::string DescribeSystemError(std::int32_t code) {
  switch (code) {
    case EACCES:
    case EPERM:
      return "Permission denied: add yourself to the dialout group";
    case EBUSY:
    case EWOULDBLOCK:
      // EWOULDBLOCK comes from the lock that keeps a second program off the port.
      return "Port in use by another program";
    case ENOTTY:
      return "Not a serial device";
    default:
      return SystemMessage(code);
  }
}

std::string SystemMessage(std::int32_t code) {
  return std::generic_category().message(code);
}

}  // namespace flashdesk::platform
