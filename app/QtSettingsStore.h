#pragma once

#include <QSettings>
#include <memory>

#include "platform/SettingsStore.h"

namespace flashdesk {

// Per-user settings in $XDG_CONFIG_HOME/TARN-System.conf (QSettings, user scope, organisation
// TARN-System), shared by the window and the CLI.
class QtSettingsStore : public platform::SettingsStore {
 public:
  bool OpenSection() override;
  bool ReadValue(const std::string& name, std::string& value) override;
  bool WriteValue(const std::string& name, const std::string& value) override;

 private:
  std::unique_ptr<QSettings> settings;
};

}  // namespace flashdesk
