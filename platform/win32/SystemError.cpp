#include <windows.h>

#include "platform/SystemError.h"

namespace flashdesk::platform {

bool IsPortInUseError(std::int32_t code) {
  // Serial ports are opened without sharing: denied means another program holds it.
  return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

bool IsDeviceGoneError(std::int32_t code) {
  // What WriteFile reports once a USB adapter has been pulled.
  switch (code) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
      return true;
    default:
      return false;
  }
}

std::string DescribeSystemError(std::int32_t code) {
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
    return "No such port";
  if (IsPortInUseError(code))
    return "Port in use by another program";
  return SystemMessage(code);
}

std::string SystemMessage(std::int32_t code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words =
      length > 0 && text != nullptr ? std::string(text, length) : "Error " + std::to_string(code);
  LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) {
    words.pop_back();
  }
  return words;
}

}  // namespace flashdesk::platform
