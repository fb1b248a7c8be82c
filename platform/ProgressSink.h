#pragma once

#include <cstdint>

namespace flashdesk::platform {

// How far an attempt's data blocks have come.
struct BlockProgress {
  std::int32_t attempt = 0;  // 1 to 3
  std::int64_t sent = 0;
  std::int64_t total = 0;
};

// Receives upload percentages. Called from the upload thread; must never wait for another
// thread.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void ReportProgress(std::int32_t position) = 0;
  // After each data block; for sinks that show more than the percentage.
  virtual void ReportBlocks(const BlockProgress& /*progress*/) {}
};

}  // namespace flashdesk::platform
