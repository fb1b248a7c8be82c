#pragma once

#include <cstdint>
#include <ostream>

#include "platform/ProgressSink.h"

namespace flashdesk::cli {

// Upload progress on the error stream: on a terminal one bar redrawn in place, otherwise one
// plain line per new percentage, so logs stay readable.
class TerminalProgress : public platform::ProgressSink {
 public:
  static constexpr int kBarWidth = 40;

  TerminalProgress(std::ostream& output, bool isTerminal)
      : output(output), isTerminal(isTerminal) {}

  void ReportProgress(std::int32_t position) override;
  // Ends a bar that is still being drawn.
  void Finish();

 private:
  std::ostream& output;
  bool isTerminal;
  std::int32_t shown = -1;
  bool barOpen = false;
};

}  // namespace flashdesk::cli
