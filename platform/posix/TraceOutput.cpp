#include "platform/TraceOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace flashdesk::platform {

void WriteTraceOutput(const std::string& line) {
  // Read on every line so that a test or a debugging session can switch it at run time.
  const char* enabled = std::getenv("FLASHDESK_TRACE");
  if (enabled == nullptr || std::strcmp(enabled, "1") != 0) {
    return;
  }
  std::fputs(line.c_str(), stderr);
  if (line.empty() || line.back() != '\n') {
    std::fputc('\n', stderr);
  }
  std::fflush(stderr);
}

}  // namespace flashdesk::platform
