#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Trace.h"

namespace flashdesk::fakes {

// Collects the trace lines written while it lives.
class TraceCapture {
 public:
  TraceCapture() {
    platform::SetTraceSink([this](const std::string& line) {
      std::lock_guard<std::mutex> guard(lock);
      lines.push_back(line);
    });
  }
  ~TraceCapture() { platform::SetTraceSink({}); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(lock);
    return lines;
  }

 private:
  std::mutex lock;
  std::vector<std::string> lines;
};

}  // namespace flashdesk::fakes
