#include "application/SharedSettings.h"

namespace flashdesk::application {

bool SharedSettings::OpenSection() {
  std::lock_guard<std::mutex> guard(lock);
  return store.OpenSection();
}

bool SharedSettings::ReadValue(const std::string& name, std::string& value) {
  std::lock_guard<std::mutex> guard(lock);
  return store.ReadValue(name, value);
}

bool SharedSettings::WriteValue(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> guard(lock);
  return store.WriteValue(name, value);
}

}  // namespace flashdesk::application
