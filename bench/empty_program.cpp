// What Wine itself costs, against which bench/wine-window.sh measures the window:
//   bench_empty_program                 does nothing (Wine's start-up of a program)
//   bench_empty_program --working-set   shows a bare 800 x 529 pop-up for a second and prints
//                                       the working set as the window benchmark does
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--working-set") != 0)
    return 0;
  CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 800, 529, nullptr, nullptr,
                  nullptr, nullptr);
  const DWORD end = GetTickCount() + 1000;
  MSG message;
  while (GetTickCount() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
    Sleep(10);
  }
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  std::printf("working set %.2f MB, peak %.2f MB\n", counters.WorkingSetSize / 1048576.0,
              counters.PeakWorkingSetSize / 1048576.0);
  return 0;
}
