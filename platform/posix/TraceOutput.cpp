#include "platform/TraceOutput.h"

namespace flashdesk::platform {

// POSIX has no debugger channel; stderr under FLASHDESK_TRACE=1 is the trace.
void WriteDebuggerOutput(const std::string&) {}

}  // namespace flashdesk::platform
