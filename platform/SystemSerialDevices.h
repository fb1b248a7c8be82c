#pragma once

#include <string>
#include <vector>

#include "platform/PortDiscovery.h"

// What each operating system's file provides to DiscoverSerialPorts.
namespace flashdesk::platform {

// Every serial device the system lists, unnumbered and in any order.
std::vector<SerialDevice> ListSystemSerialDevices(const DiscoveryRoots& roots);

// A form of path under which two names of one device compare equal, found without opening
// anything.
std::string DeviceIdentity(const std::string& path);

}  // namespace flashdesk::platform
