#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/Clock.h"
#include "platform/ProgressSink.h"

namespace flashdesk::cli {

// Upload progress on the error stream: on a terminal one bar redrawn in place, otherwise one
// plain line per new percentage, so logs stay readable. Once blocks go out it shows them, the
// time since the upload began and an estimate of the time left: the blocks to go at the pace
// measured so far (never faster than the engine's own pauses) and the attempt's tail.
class TerminalProgress : public platform::ProgressSink {
 public:
  static constexpr int kBarWidth = 40;

  TerminalProgress(std::ostream& output, bool isTerminal, platform::Clock& clock);

  void ReportProgress(std::int32_t position) override;
  void ReportBlocks(const platform::BlockProgress& progress) override;
  // Ends a bar that is still being drawn.
  void Finish();
  // Ends the bar with where a stopped upload stopped.
  void FinishStopped(std::int64_t blocksSent, std::int64_t dataBlocks);

 private:
  // "block 24/200, 0:03 elapsed, about 0:21 left", or empty before the first block.
  std::string Details() const;
  void Draw();

  std::ostream& output;
  bool isTerminal;
  platform::Clock& clock;
  std::int32_t startMs = 0;
  bool started = false;
  std::int32_t percent = -1;
  platform::BlockProgress blocks;
  std::int32_t firstBlockMs = 0;
  std::size_t drawnLength = 0;
  bool barOpen = false;
};

}  // namespace flashdesk::cli
