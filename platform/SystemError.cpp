#include "platform/SystemError.h"

#include "platform/Trace.h"

namespace flashdesk::platform {

const char* ProblemName(SerialProblem problem) {
  switch (problem) {
    case SerialProblem::kPermission:
      return "permission";
    case SerialProblem::kInUse:
      return "in use";
    case SerialProblem::kMissing:
      return "missing";
    case SerialProblem::kVanished:
      return "vanished";
    case SerialProblem::kNotSerial:
      return "not a serial device";
    case SerialProblem::kTimedOut:
      return "timed out";
    case SerialProblem::kOther:
      break;
  }
  return "other";
}

std::string DescribeSerialError(const SerialError& error) {
  std::string advice;
  switch (error.problem) {
    case SerialProblem::kPermission:
      advice = "Permission denied: add yourself to the dialout group";
      break;
    case SerialProblem::kInUse:
      advice = "Port in use by another program";
      break;
    case SerialProblem::kMissing:
      advice = "No such port";
      break;
    case SerialProblem::kVanished:
      advice = "Device gone (unplugged or hung up)";
      break;
    case SerialProblem::kNotSerial:
      advice = "Not a serial device";
      break;
    case SerialProblem::kTimedOut:
      advice = "Timed out";
      break;
    case SerialProblem::kOther:
      advice = error.message;
      break;
  }
  return advice + " (" + error.call + ": " + ProblemName(error.problem) + ", code " +
         std::to_string(error.code) + ", " + error.message + ")";
}

SerialError TraceSerialFailure(const std::string& what, const std::string& call,
                               std::int32_t code) {
  SerialError error = SerialErrorOf(call, code);
  Trace(what + ": " + DescribeSerialError(error));
  return error;
}

}  // namespace flashdesk::platform
