#include "cli/TerminalProgress.h"

#include <algorithm>
#include <string>

namespace flashdesk::cli {

void TerminalProgress::ReportProgress(std::int32_t position) {
  const std::int32_t percent = std::clamp<std::int32_t>(position, 0, 100);
  if (percent == shown)
    return;
  shown = percent;
  if (!isTerminal) {
    output << "Progress: " << percent << " %\n" << std::flush;
    return;
  }
  const int filled = percent * kBarWidth / 100;
  output << "\rUploading [" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ')
         << "] "
         << (percent < 10    ? "  "
             : percent < 100 ? " "
                             : "")
         << percent << " %" << std::flush;
  barOpen = true;
}

void TerminalProgress::Finish() {
  if (barOpen)
    output << '\n' << std::flush;
  barOpen = false;
}

}  // namespace flashdesk::cli
