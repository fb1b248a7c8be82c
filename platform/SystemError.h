#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashdesk::platform {

// What kept a serial port from working, in terms a user can act on.
enum class SerialProblem {
  kPermission,  // the user may not open the device
  kInUse,       // another program holds it
  kMissing,     // no device at that path
  kVanished,    // it went away while in use: unplugged, hung up
  kNotSerial,   // the path names something that is not a serial device
  kTimedOut,
  kOther,
};

// One failed operating-system call of the serial seam.
struct SerialError {
  SerialProblem problem = SerialProblem::kOther;
  std::int32_t code = 0;  // errno or GetLastError
  std::string message;    // the system's own words for code
  std::string call;       // "open", "flock", "CreateFileA", ...
};

// Empty when the call succeeded.
using SerialFailure = std::optional<SerialError>;

// What code, reported by call, means for a serial port. One per operating system: the same
// code can mean something else from another call (an access denied by CreateFileA is a port
// held elsewhere, by WriteFile an adapter pulled out).
SerialError SerialErrorOf(const std::string& call, std::int32_t code);

// "permission", "in use", "missing", "vanished", "not a serial device", "timed out", "other".
const char* ProblemName(SerialProblem problem);

// The error in words for the trace: advice first (the dialout group for a permission, "in use
// by another program"), then call, category, code and message.
std::string DescribeSerialError(const SerialError& error);

// Makes the error of code from call and traces it as one line, after what (the device).
SerialError TraceSerialFailure(const std::string& what, const std::string& call, std::int32_t code);

// The operating system's own words for the error code.
std::string SystemMessage(std::int32_t code);

}  // namespace flashdesk::platform
