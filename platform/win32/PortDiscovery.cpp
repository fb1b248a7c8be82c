#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/SystemError.h"
#include "platform/SystemSerialDevices.h"
#include "platform/Trace.h"

namespace flashdesk::platform {
namespace {

class RegistryKey {
 public:
  explicit RegistryKey(const char* path) {
    const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    // The key exists only while at least one serial device is present.
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
      Trace(std::string("Cannot read ") + path + ": " + SystemMessage(result));
    if (result != ERROR_SUCCESS)
      key = nullptr;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key != nullptr)
      RegCloseKey(key);
  }
  HKEY Get() const { return key; }

 private:
  HKEY key = nullptr;
};

}  // namespace

// The registry names the ports only; USB details would need SetupAPI.
std::vector<SerialDevice> ListSystemSerialDevices(const DiscoveryRoots&) {
  std::vector<SerialDevice> devices;
  const RegistryKey serialComm("HARDWARE\\DEVICEMAP\\SERIALCOMM");
  if (serialComm.Get() == nullptr)
    return devices;
  for (DWORD index = 0;; ++index) {
    char kernelName[256];
    DWORD kernelNameLength = sizeof kernelName;
    BYTE portName[256];
    DWORD portNameLength = sizeof portName - 1;
    DWORD type = 0;
    const LONG result = RegEnumValueA(serialComm.Get(), index, kernelName, &kernelNameLength,
                                      nullptr, &type, portName, &portNameLength);
    if (result == ERROR_MORE_DATA)
      continue;  // not a name we could open anyway
    if (result != ERROR_SUCCESS)
      break;
    if (type != REG_SZ || portNameLength == 0)
      continue;
    portName[portNameLength] = '\0';  // stored strings need not end in one
    SerialDevice device;
    device.path = std::string("\\\\.\\") + reinterpret_cast<const char*>(portName);
    device.driver = kernelName;
    devices.push_back(std::move(device));
  }
  return devices;
}

// Windows device names ignore case; nothing is resolved, since that would open the port.
std::string DeviceIdentity(const std::string& path) {
  std::string identity = path;
  std::transform(identity.begin(), identity.end(), identity.begin(), [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  return identity;
}

}  // namespace flashdesk::platform
