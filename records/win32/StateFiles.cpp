#include "records/StateFiles.h"

#include <windows.h>

#include <filesystem>

#include "platform/SystemError.h"

namespace flashdesk::records {

std::string SystemHistoryPath() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH)
    return {};
  return (std::filesystem::path(folder) / "FlashDesk" / "history.jsonl").u8string();
}

std::string MissingStateFolder() {
  return "LOCALAPPDATA names no folder";
}

bool AppendWholeLine(const std::string& path, const std::string& text, std::string& problem) {
  // Append-only access puts every write at the end as one step, also with several writers.
  const HANDLE file = CreateFileW(
      std::filesystem::u8path(path).wstring().c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    problem = platform::SystemMessage(static_cast<std::int32_t>(GetLastError()));
    return false;
  }
  std::string line = text + "\n";
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) != 0 && size.QuadPart > 0) {
    OVERLAPPED at{};
    const ULONGLONG lastByte = static_cast<ULONGLONG>(size.QuadPart - 1);
    at.Offset = static_cast<DWORD>(lastByte);
    at.OffsetHigh = static_cast<DWORD>(lastByte >> 32);
    char last = '\n';
    DWORD got = 0;
    if (ReadFile(file, &last, 1, &got, &at) != 0 && got == 1 && last != '\n')
      line.insert(line.begin(), '\n');
  }
  DWORD written = 0;
  bool complete =
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != 0 &&
      written == line.size();
  if (!complete || FlushFileBuffers(file) == 0) {
    problem = platform::SystemMessage(static_cast<std::int32_t>(GetLastError()));
    complete = false;
  }
  CloseHandle(file);
  return complete;
}

}  // namespace flashdesk::records
