#include <windows.h>

#include "platform/SystemError.h"

namespace flashdesk::platform {

namespace {

SerialProblem ProblemOf(const std::string& call, std::int32_t code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
      // Ports are opened without sharing, so a refused open means another program holds it;
      // any later call is refused so once a USB adapter has been pulled.
      return call == "CreateFileA" ? SerialProblem::kInUse : SerialProblem::kVanished;
    case ERROR_SHARING_VIOLATION:
      return SerialProblem::kInUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return SerialProblem::kMissing;
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
      return SerialProblem::kVanished;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return SerialProblem::kNotSerial;
    case ERROR_SEM_TIMEOUT:
    case WAIT_TIMEOUT:
    case ERROR_TIMEOUT:
      return SerialProblem::kTimedOut;
    default:
      return SerialProblem::kOther;
  }
}

}  // namespace

SerialError SerialErrorOf(const std::string& call, std::int32_t code) {
  return {ProblemOf(call, code), code, SystemMessage(code), call};
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
