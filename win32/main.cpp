#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/Clock.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"
#include "win32/MainWindow.h"
#include "win32/Win32Prompts.h"

namespace {

constexpr const char* kUsage =
    "Usage: flashdesk [OPTION]...\n"
    "Uploads firmware to the TARN loudspeakers on a serial bus, in a window.\n"
    "\n"
    "At start-up the window searches the serial ports COM0 to COM10 for the speakers, the\n"
    "port that worked last time first, and lists the speaker models. The firmware list shows\n"
    "the .syx files of the firmware folder that fit the chosen model; UPLOAD sends the ticked\n"
    "file to every speaker at once and adds a line to the upload history. Exit returns the\n"
    "speakers to Application mode.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this text and exit\n"
    "  -v, --version  print the version and exit\n";

// A window program has no console of its own: it writes to the one it was started from, or
// to wherever its output was sent.
void Print(const std::string& text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((output == nullptr || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
    output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (output != nullptr && output != INVALID_HANDLE_VALUE)
    WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The C runtime's reading of the command line.
bool Asks(const wchar_t* shortName, const wchar_t* longName) {
  for (int i = 1; i < __argc; ++i) {
    if (std::wstring(__wargv[i]) == shortName || std::wstring(__wargv[i]) == longName)
      return true;
  }
  return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace flashdesk;
  if (Asks(L"-h", L"--help")) {
    Print(kUsage);
    return 0;
  }
  if (Asks(L"-v", L"--version")) {
    Print(std::string("flashdesk ") + FLASHDESK_VERSION + "\n");
    return 0;
  }
  win32::Win32Prompts prompts;
  const std::string problem = window::UploadDialog::UsePortTemplate(platform::SystemSerialApi());
  if (!problem.empty()) {
    prompts.ShowMessage(problem);
    return 1;
  }
  const auto settings = platform::UserSettingsStore();
  win32::MainWindow window(
      instance, {platform::SystemSerialApi(), platform::SystemClock(), *settings, prompts});
  return window.Run();
}
