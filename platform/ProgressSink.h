#pragma once

#include <cstdint>

namespace flashdesk::platform {

// Receives upload percentages. Called from the upload thread; must never wait for another
// thread.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void ReportProgress(std::int32_t position) = 0;
};

}  // namespace flashdesk::platform
