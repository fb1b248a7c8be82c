#pragma once

#include <windows.h>

namespace flashdesk::platform {

// The Windows calls that a serial port makes, with their own signatures, so that a test can
// record what a port is asked in which order.
class Win32CommCalls {
 public:
  virtual ~Win32CommCalls() = default;
  virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
  virtual BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) = 0;
  virtual BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) = 0;
  virtual BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) = 0;
  virtual BOOL GetCommState(HANDLE file, LPDCB block) = 0;
  virtual BOOL SetCommState(HANDLE file, LPDCB block) = 0;
  virtual BOOL EscapeCommFunction(HANDLE file, DWORD function) = 0;
  virtual BOOL SetCommMask(HANDLE file, DWORD mask) = 0;
  virtual BOOL PurgeComm(HANDLE file, DWORD flags) = 0;
  virtual BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done,
                        LPOVERLAPPED overlapped) = 0;
  virtual BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done,
                         LPOVERLAPPED overlapped) = 0;
  virtual BOOL FlushFileBuffers(HANDLE file) = 0;
  virtual BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT status) = 0;
  virtual BOOL CloseHandle(HANDLE file) = 0;
  virtual DWORD GetLastError() = 0;
};

// The calls into Windows itself.
Win32CommCalls& SystemCommCalls();

}  // namespace flashdesk::platform
