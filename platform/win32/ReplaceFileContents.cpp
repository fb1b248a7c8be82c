#include "platform/ReplaceFileContents.h"

#include <windows.h>

#include <filesystem>

#include "platform/SystemError.h"

namespace flashdesk::platform {

bool ReplaceFileContents(const std::string& path, const std::string& content,
                         std::string& problem) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::u8path(path);
  if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), error);
    if (error) {
      problem = error.message();
      return false;
    }
  }
  const std::wstring final = target.wstring();
  const std::wstring temporary = final + L".partial";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    problem = SystemMessage(static_cast<std::int32_t>(GetLastError()));
    return false;
  }
  DWORD written = 0;
  const bool whole =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size() && FlushFileBuffers(file);
  const DWORD writeError = GetLastError();
  CloseHandle(file);
  if (!whole || !MoveFileExW(temporary.c_str(), final.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    problem = SystemMessage(static_cast<std::int32_t>(whole ? GetLastError() : writeError));
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace flashdesk::platform
