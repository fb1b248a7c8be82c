#pragma once

#include <windows.h>

#include <string>

#include "platform/SettingsStore.h"

namespace flashdesk::platform {

// A key under HKEY_CURRENT_USER holding text values (REG_SZ with their terminating zero).
// OpenSection creates or opens the key with full access; the next read or write closes it
// again, so nothing stays open between a run's read and its save. One thread at a time.
class RegistrySettingsStore : public SettingsStore {
 public:
  static constexpr const char* kUserKey = "SOFTWARE\\TARN-System";

  RegistrySettingsStore(std::string keyPath, SettingsWarning warn);
  ~RegistrySettingsStore() override;
  RegistrySettingsStore(const RegistrySettingsStore&) = delete;
  RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

  bool OpenSection() override;
  bool ReadValue(const std::string& name, std::string& value) override;
  bool WriteValue(const std::string& name, const std::string& value) override;

 private:
  void CloseKey();

  std::string keyPath;
  SettingsProblems problems;
  HKEY key = nullptr;
};

}  // namespace flashdesk::platform
