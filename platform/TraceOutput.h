#pragma once

#include <string>

namespace flashdesk::platform {

// Where trace lines go when no test sink is set; one implementation per operating system.
// Called under the trace lock.
void WriteTraceOutput(const std::string& line);

}  // namespace flashdesk::platform
