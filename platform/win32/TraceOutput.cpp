#include <windows.h>

#include "platform/TraceOutput.h"

namespace flashdesk::platform {

void WriteDebuggerOutput(const std::string& line) {
  OutputDebugStringA(line.c_str());
}

}  // namespace flashdesk::platform
