// The Win32 window's start-up and memory, run under Wine (or Windows) by bench/wine-window.sh:
//   bench_win32_window --first-frame   paints the window once and ends at once
//   bench_win32_window --working-set   paints, idles a second, prints the working set in MB
// The real window on the real serial ports and settings; its first paint is seen through a
// hook on the window's thread, so the window itself knows nothing of the benchmark.

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"
#include "win32/MainWindow.h"
#include "win32/Win32Prompts.h"

namespace {

// A message of our own, posted when the first paint is fetched: it is fetched after that
// paint has been handled.
constexpr UINT kPainted = WM_APP + 100;
bool measureMemory = false;
bool seenPaint = false;
HHOOK hook = nullptr;

void CALLBACK ReportMemory(HWND, UINT, UINT_PTR, DWORD) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  std::printf("working set %.2f MB, peak %.2f MB\n", counters.WorkingSetSize / 1048576.0,
              counters.PeakWorkingSetSize / 1048576.0);
  std::fflush(stdout);
  ExitProcess(0);
}

// Sees every message the window's thread fetches from its queue, before it is handled.
LRESULT CALLBACK OnFetch(int code, WPARAM wParam, LPARAM lParam) {
  const auto* fetched = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    if (fetched->message == WM_PAINT && !seenPaint) {
      seenPaint = true;
      PostMessageW(fetched->hwnd, kPainted, 0, 0);
    } else if (fetched->message == kPainted) {
      UnhookWindowsHookEx(hook);
      if (!measureMemory) {
        std::printf("painted\n");
        std::fflush(stdout);
        ExitProcess(0);
      }
      SetTimer(nullptr, 0, 1000, ReportMemory);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace flashdesk;
  measureMemory = argc > 1 && std::strcmp(argv[1], "--working-set") == 0;
  hook = SetWindowsHookExW(WH_GETMESSAGE, OnFetch, nullptr, GetCurrentThreadId());
  win32::Win32Prompts prompts;
  const auto settings = platform::UserSettingsStore();
  win32::MainWindow window(
      GetModuleHandleW(nullptr),
      {platform::SystemSerialApi(), platform::SystemClock(), *settings, prompts});
  return window.Run();
}
