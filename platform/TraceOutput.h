#pragma once

#include <string>

namespace flashdesk::platform {

// The debugger's channel for trace lines, one implementation per operating system. Called
// under the trace lock for every line that no test sink takes.
void WriteDebuggerOutput(const std::string& line);

}  // namespace flashdesk::platform
