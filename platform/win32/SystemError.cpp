#include <windows.h>

#include "platform/SystemError.h"

namespace flashdesk::platform {

std::string DescribeSystemError(std::int32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "No such port";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      // Serial ports are opened without sharing: denied means another program holds it.
      return "Port in use by another program";
    default:
      return SystemMessage(code);
  }
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
