#include "platform/win32/RegistrySettingsStore.h"

#include <cstring>
#include <utility>

#include "platform/SystemError.h"

namespace flashdesk::platform {

std::unique_ptr<SettingsStore> UserSettingsStore(SettingsWarning warn) {
  return std::make_unique<RegistrySettingsStore>(RegistrySettingsStore::kUserKey, std::move(warn));
}

RegistrySettingsStore::RegistrySettingsStore(std::string keyPath, SettingsWarning warn)
    : keyPath(std::move(keyPath)), problems(std::move(warn)) {}

RegistrySettingsStore::~RegistrySettingsStore() {
  CloseKey();
}

bool RegistrySettingsStore::OpenSection() {
  CloseKey();
  const LONG result =
      RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    key = nullptr;
    problems.Report("Cannot open the registry key HKEY_CURRENT_USER\\" + keyPath + " (" +
                    SystemMessage(result) + "); the saved port is neither used nor changed");
    return false;
  }
  return true;
}

bool RegistrySettingsStore::ReadValue(const std::string& name, std::string& value) {
  if (key == nullptr) {
    return false;
  }
  char buffer[kMaxValueBytes] = {};
  DWORD size = sizeof buffer;
  // A value of kMaxValueBytes or more does not fit: ERROR_MORE_DATA.
  const LONG result =
      RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  CloseKey();
  if (result != ERROR_SUCCESS) {
    return false;
  }
  // A value stored without its terminating zero still ends inside the buffer.
  const std::size_t length = strnlen(buffer, size);
  if (length >= static_cast<std::size_t>(kMaxValueBytes)) {
    return false;
  }
  value.assign(buffer, length);
  return true;
}

bool RegistrySettingsStore::WriteValue(const std::string& name, const std::string& value) {
  if (key == nullptr) {
    return false;
  }
  const LONG result =
      RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  CloseKey();
  if (result != ERROR_SUCCESS) {
    problems.Report("Cannot write " + name + " under HKEY_CURRENT_USER\\" + keyPath + " (" +
                    SystemMessage(result) + "): the port is not remembered");
    return false;
  }
  return true;
}

void RegistrySettingsStore::CloseKey() {
  if (key != nullptr) {
    RegCloseKey(key);
    key = nullptr;
  }
}

}  // namespace flashdesk::platform
