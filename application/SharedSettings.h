#pragma once

#include <mutex>
#include <string>

#include "platform/SettingsStore.h"

namespace flashdesk::application {

// One settings store for the engine's worker threads and the window's own values, one call at
// a time; any thread.
class SharedSettings : public platform::SettingsStore {
 public:
  explicit SharedSettings(platform::SettingsStore& store) : store(store) {}
  bool OpenSection() override;
  bool ReadValue(const std::string& name, std::string& value) override;
  bool WriteValue(const std::string& name, const std::string& value) override;

 private:
  platform::SettingsStore& store;
  std::mutex lock;
};

}  // namespace flashdesk::application
