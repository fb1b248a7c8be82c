#include "platform/SystemError.h"

#include <cerrno>
#include <system_error>

namespace flashdesk::platform {

namespace {

SerialProblem ProblemOf(const std::string& call, std::int32_t code) {
  switch (code) {
    case EACCES:
    case EPERM:
      return SerialProblem::kPermission;
    case EBUSY:
      return SerialProblem::kInUse;
    case ENOENT:
      return SerialProblem::kMissing;
    case ENODEV:
      // A node without its device; once open, the device went away.
      return call == "open" ? SerialProblem::kMissing : SerialProblem::kVanished;
    case EIO:
    case ENXIO:
    case EPIPE:
      return SerialProblem::kVanished;
    case ENOTTY:
      return SerialProblem::kNotSerial;
    case ETIMEDOUT:
      return SerialProblem::kTimedOut;
    default:
      break;
  }
  // The lock that keeps a second program off the port.
  if (call == "flock" && (code == EAGAIN || code == EWOULDBLOCK))
    return SerialProblem::kInUse;
  return SerialProblem::kOther;
}

}  // namespace

SerialError SerialErrorOf(const std::string& call, std::int32_t code) {
  return {ProblemOf(call, code), code, SystemMessage(code), call};
}

std::string SystemMessage(std::int32_t code) {
  return std::generic_category().message(code);
}

}  // namespace flashdesk::platform
