#include "cli/TerminalProgress.h"

#include <algorithm>
#include <cstdio>

#include "engine/Pacing.h"
#include "transport/TickMs.h"

namespace flashdesk::cli {
namespace {

// "m:ss".
std::string Minutes(std::int64_t milliseconds) {
  const std::int64_t seconds = std::max<std::int64_t>(0, milliseconds) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

TerminalProgress::TerminalProgress(std::ostream& output, bool isTerminal, platform::Clock& clock)
    : output(output), isTerminal(isTerminal), clock(clock) {}

void TerminalProgress::ReportProgress(std::int32_t position) {
  if (!started) {
    started = true;
    startMs = clock.TickMs();
  }
  const std::int32_t clamped = std::clamp<std::int32_t>(position, 0, 100);
  if (clamped == percent)
    return;
  percent = clamped;
  Draw();
}

void TerminalProgress::ReportBlocks(const platform::BlockProgress& progress) {
  if (progress.sent <= 1 || progress.attempt != blocks.attempt)
    firstBlockMs = clock.TickMs();
  blocks = progress;
  // The bar redraws with its percentage; a terminal also shows each block.
  if (isTerminal)
    Draw();
}

std::string TerminalProgress::Details() const {
  // Once at 100 % the blocks are history.
  if (blocks.total <= 0 || percent >= 100)
    return "";
  const std::int32_t now = clock.TickMs();
  // The pace so far, counted from the first block of this attempt.
  std::int64_t perBlock = pacing::kBlockMs;
  if (blocks.sent > 1)
    perBlock = std::max<std::int64_t>(perBlock, ElapsedMs(firstBlockMs, now) / (blocks.sent - 1));
  const std::int64_t left = (blocks.total - blocks.sent) * perBlock + pacing::TailMilliseconds();
  std::string text = "block " + std::to_string(blocks.sent) + "/" + std::to_string(blocks.total);
  if (blocks.attempt > 1)
    text += " of attempt " + std::to_string(blocks.attempt);
  return text + ", " + Minutes(ElapsedMs(startMs, now)) + " elapsed, about " + Minutes(left) +
         " left";
}

void TerminalProgress::Draw() {
  const std::string details = Details();
  if (!isTerminal) {
    output << "Progress: " << percent << " %" << (details.empty() ? "" : " (" + details + ")")
           << '\n'
           << std::flush;
    return;
  }
  const int filled = std::max(0, percent) * kBarWidth / 100;
  char number[12];
  std::snprintf(number, sizeof number, "%3d", std::max(0, percent));
  std::string line = "Uploading [" + std::string(filled, '#') +
                     std::string(kBarWidth - filled, ' ') + "] " + number + " %" +
                     (details.empty() ? "" : "  " + details);
  const std::size_t length = line.size();
  // Spaces erase what a longer line before left behind; not every console knows escapes.
  line.resize(std::max(length, drawnLength), ' ');
  drawnLength = length;
  output << '\r' << line << std::flush;
  barOpen = true;
}

void TerminalProgress::Finish() {
  if (barOpen)
    output << '\n' << std::flush;
  barOpen = false;
}

void TerminalProgress::FinishStopped(std::int64_t blocksSent, std::int64_t dataBlocks) {
  Finish();
  output << "Stopped after block " << blocksSent << " of " << dataBlocks
         << ": the speakers did not get the whole image.\n"
         << std::flush;
}

}  // namespace flashdesk::cli
