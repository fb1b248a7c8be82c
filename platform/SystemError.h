#pragma once

#include <cstdint>
#include <string>

namespace flashdesk::platform {

// The operating system's error code in words a user can act on, for the trace. Permission
// problems and a port held by another program get distinct advice.
std::string DescribeSystemError(std::int32_t code);

// The operating system's own words for the error code, without advice about ports.
std::string SystemMessage(std::int32_t code);

// Whether the code of a failed open means that another program holds the port, and whether
// that of a failed write means that the device is gone (unplugged, hung up).
bool IsPortInUseError(std::int32_t code);
bool IsDeviceGoneError(std::int32_t code);

}  // namespace flashdesk::platform
