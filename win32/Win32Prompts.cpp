#include "win32/Win32Prompts.h"

#include <windows.h>

#include "resources/Strings.h"
#include "win32/WideText.h"

namespace flashdesk::win32 {

void Win32Prompts::ShowMessage(const std::string& text) {
  MessageBoxW(GetActiveWindow(), Wide(text).c_str(), Wide(strings::kProgramName).c_str(), MB_OK);
}

bool Win32Prompts::AskYesNo(const std::string& text) {
  // No is the default, as in the Linux window: Enter alone never agrees to a risk.
  return MessageBoxW(GetActiveWindow(), Wide(text).c_str(), Wide(strings::kProgramName).c_str(),
                     MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

}  // namespace flashdesk::win32
