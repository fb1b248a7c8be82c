#pragma once

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

// The shell's and the common dialogs' calls, their libraries loaded on first use: loaded at
// start they would cost a window that never sees a dropped file or a chooser several megabytes.
// Each fails as its system call does when the library or the call is missing.
namespace flashdesk::win32::shell {

UINT DragQueryFile(HDROP drop, UINT index, LPWSTR path, UINT size);
void DragFinish(HDROP drop);
BOOL GetSaveFileName(OPENFILENAMEW* dialog);
PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* browse);
BOOL PathFromIdList(PCIDLIST_ABSOLUTE list, LPWSTR path);
void FreeIdList(PIDLIST_ABSOLUTE list);
HINSTANCE Execute(HWND owner, LPCWSTR verb, LPCWSTR file, INT show);

}  // namespace flashdesk::win32::shell
