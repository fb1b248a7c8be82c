#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace flashdesk::platform {

// One section of per-user settings (the registry key, or a section of a settings file).
class SettingsStore {
 public:
  static constexpr int kMaxValueBytes = 512;  // terminating zero included
  virtual ~SettingsStore() = default;
  // Opens the section (a missing registry key is created, a missing file reads as empty);
  // false when the store cannot be used.
  virtual bool OpenSection() = 0;
  // False when the value is absent, unreadable, or its text is kMaxValueBytes bytes or longer.
  virtual bool ReadValue(const std::string& name, std::string& value) = 0;
  virtual bool WriteValue(const std::string& name, const std::string& value) = 0;
};

// Receives one sentence for each problem a store meets (it goes to the trace as well).
using SettingsWarning = std::function<void(const std::string&)>;

// The user's settings on this system: the registry key SOFTWARE\TARN-System under
// HKEY_CURRENT_USER on Windows, the file TARN-System.conf in $XDG_CONFIG_HOME (else
// ~/.config) elsewhere. A store that cannot be read or written says why to warn.
std::unique_ptr<SettingsStore> UserSettingsStore(SettingsWarning warn = {});

// Passes each problem on to the trace and to a warning, a repeated one only once, so a run
// that reads and then saves is told once about a file it can do neither with.
class SettingsProblems {
 public:
  explicit SettingsProblems(SettingsWarning warn) : warn(std::move(warn)) {}
  void Report(const std::string& problem);

 private:
  SettingsWarning warn;
  std::string lastProblem;
};

}  // namespace flashdesk::platform
