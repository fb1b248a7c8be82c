#pragma once

#include <string>

namespace flashdesk::platform {

// One section of per-user settings (the registry key, or a QSettings group).
class SettingsStore {
 public:
  static constexpr int kMaxValueBytes = 512;  // terminating zero included
  virtual ~SettingsStore() = default;
  // Opens the section, creating it when missing; false when the store cannot be used.
  virtual bool OpenSection() = 0;
  // False when the value is absent, unreadable, or its text is kMaxValueBytes bytes or longer.
  virtual bool ReadValue(const std::string& name, std::string& value) = 0;
  virtual bool WriteValue(const std::string& name, const std::string& value) = 0;
};

}  // namespace flashdesk::platform
