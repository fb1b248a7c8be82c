#pragma once

#include <functional>
#include <string>

namespace flashdesk::platform {

// Writes one diagnostic line: to stderr when FLASHDESK_TRACE=1, and on Windows to the
// debugger as well. Thread-safe.
void Trace(const std::string& line);

// Tests capture the trace here; an empty function restores the default.
void SetTraceSink(std::function<void(const std::string&)> sink);

}  // namespace flashdesk::platform
