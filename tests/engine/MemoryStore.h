#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/SettingsStore.h"

namespace flashdesk::testing_support {

// The port setting in memory; it hands back whatever text it holds, so the engine's own
// reading rules are what a test sees.
class MemoryStore : public platform::SettingsStore {
 public:
  bool OpenSection() override { return true; }
  bool ReadValue(const std::string& name, std::string& value) override {
    if (name != "ComPort" || !stored)
      return false;
    value = *stored;
    return true;
  }
  bool WriteValue(const std::string& name, const std::string& value) override {
    writes.push_back(name + "=" + value);
    if (name == "ComPort")
      stored = value;
    return true;
  }

  std::optional<std::string> stored;
  std::vector<std::string> writes;
};

}  // namespace flashdesk::testing_support
