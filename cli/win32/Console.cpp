#include <windows.h>

#include "cli/Console.h"

namespace flashdesk::cli {
namespace {

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;
  // FALSE hands the event on to the default handler, which ends the program.
  if (!StopUploadOnInterrupt())
    return FALSE;
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kStoppingNote, sizeof kStoppingNote - 1, &written,
            nullptr);
  return TRUE;
}

}  // namespace

void CatchInterrupts(bool on) {
  SetConsoleCtrlHandler(OnConsoleControl, on ? TRUE : FALSE);
}

// A console, not merely a character device: NUL is one too and cannot show a bar.
bool ErrorsGoToTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace flashdesk::cli
