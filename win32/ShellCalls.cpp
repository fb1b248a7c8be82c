#include "win32/ShellCalls.h"

namespace flashdesk::win32::shell {
namespace {

// The call `name` of the system library, or null. The library stays loaded once it is.
template <typename Call>
Call Find(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (module == nullptr)
    module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module == nullptr
             ? nullptr
             : reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

UINT DragQueryFile(HDROP drop, UINT index, LPWSTR path, UINT size) {
  static const auto call = Find<decltype(&::DragQueryFileW)>(L"shell32.dll", "DragQueryFileW");
  return call != nullptr ? call(drop, index, path, size) : 0;
}

void DragFinish(HDROP drop) {
  static const auto call = Find<decltype(&::DragFinish)>(L"shell32.dll", "DragFinish");
  if (call != nullptr)
    call(drop);
}

BOOL GetSaveFileName(OPENFILENAMEW* dialog) {
  static const auto call = Find<decltype(&::GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
  return call != nullptr ? call(dialog) : FALSE;
}

PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* browse) {
  static const auto call =
      Find<decltype(&::SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
  return call != nullptr ? call(browse) : nullptr;
}

BOOL PathFromIdList(PCIDLIST_ABSOLUTE list, LPWSTR path) {
  static const auto call =
      Find<decltype(&::SHGetPathFromIDListW)>(L"shell32.dll", "SHGetPathFromIDListW");
  return call != nullptr ? call(list, path) : FALSE;
}

void FreeIdList(PIDLIST_ABSOLUTE list) {
  static const auto call = Find<decltype(&::CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree");
  if (call != nullptr)
    call(list);
}

HINSTANCE Execute(HWND owner, LPCWSTR verb, LPCWSTR file, INT show) {
  static const auto call = Find<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  return call != nullptr ? call(owner, verb, file, nullptr, nullptr, show) : nullptr;
}

}  // namespace flashdesk::win32::shell
