#include "platform/Trace.h"

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

}  // namespace

void Trace(const std::string& line) {
  std::lock_guard<std::mutex> guard(TraceLock());
  if (TraceSink()) {
    TraceSink()(line);
  } else {
    WriteTraceOutput(line);
  }
}

void SetTraceSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> guard(TraceLock());
  TraceSink() = std::move(sink);
}

}  // namespace flashdesk::platform
