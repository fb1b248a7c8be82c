#include "platform/SystemError.h"

#include <cerrno>
#include <system_error>

namespace flashdesk::platform {

bool IsPortInUseError(std::int32_t code) {
  // EWOULDBLOCK comes from the lock that keeps a second program off the port.
  return code == EBUSY || code == EWOULDBLOCK;
}

bool IsDeviceGoneError(std::int32_t code) {
  return code == EIO || code == ENXIO || code == ENODEV || code == EPIPE;
}

std::string DescribeSystemError(std::int32_t code) {
  if (IsPortInUseError(code))
    return "Port in use by another program";
  switch (code) {
    case EACCES:
    case EPERM:
      return "Permission denied: add yourself to the dialout group";
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
