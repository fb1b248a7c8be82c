#include "platform/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/TraceOutput.h"

namespace flashdesk::platform {
namespace {

std::mutex& TraceLock() {
  static std::mutex lock;
  return lock;
}

std::function<void(const std::string&)>& TraceSink() {
  static std::function<void(const std::string&)> sink;
  return sink;
}

void WriteToStderrWhenSwitchedOn(const std::string& line) {
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

}  // namespace

void Trace(const std::string& line) {
  std::lock_guard<std::mutex> guard(TraceLock());
  if (TraceSink()) {
    TraceSink()(line);
  } else {
    WriteDebuggerOutput(line);
    WriteToStderrWhenSwitchedOn(line);
  }
}

void SetTraceSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> guard(TraceLock());
  TraceSink() = std::move(sink);
}

}  // namespace flashdesk::platform
