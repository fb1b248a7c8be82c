#include "platform/PortDiscovery.h"

#include <algorithm>
#include <cctype>

#include "platform/SystemSerialDevices.h"

namespace flashdesk::platform {
namespace {

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::size_t EndOfDigits(const std::string& text, std::size_t at) {
  while (at < text.size() && IsDigit(text[at]))
    ++at;
  return at;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (!IsDigit(a[i]) || !IsDigit(b[j])) {
      if (a[i] != b[j])
        return a[i] < b[j];
      ++i;
      ++j;
      continue;
    }
    const std::size_t endA = EndOfDigits(a, i);
    const std::size_t endB = EndOfDigits(b, j);
    // Without leading zeros the longer run is the larger number; no overflow however long.
    while (i + 1 < endA && a[i] == '0')
      ++i;
    while (j + 1 < endB && b[j] == '0')
      ++j;
    if (endA - i != endB - j)
      return endA - i < endB - j;
    const int order = a.compare(i, endA - i, b, j, endB - j);
    if (order != 0)
      return order < 0;
    i = endA;
    j = endB;
  }
  return a.size() - i < b.size() - j;
}

std::vector<SerialDevice> DiscoverSerialPorts(const PortPathOf& portPath, std::int16_t highestPort,
                                              const DiscoveryRoots& roots) {
  std::vector<SerialDevice> devices = ListSystemSerialDevices(roots);
  std::vector<std::string> identities;
  for (const SerialDevice& device : devices)
    identities.push_back(DeviceIdentity(device.path));
  for (std::int16_t port = 0; port <= highestPort; ++port) {
    const std::string wanted = DeviceIdentity(portPath(port));
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (identities[i] == wanted && !devices[i].portNumber)
        devices[i].portNumber = port;
    }
  }
  std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
    return NaturalLess(a.path, b.path);
  });
  return devices;
}

std::vector<SerialDevice> DiscoverSerialPorts(SerialApi& serial, std::int16_t highestPort,
                                              const DiscoveryRoots& roots) {
  return DiscoverSerialPorts([&serial](std::int16_t port) { return serial.PortPath(port); },
                             highestPort, roots);
}

}  // namespace flashdesk::platform
