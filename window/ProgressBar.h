#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/ProgressSink.h"
#include "window/Canvas.h"

namespace flashdesk::window {

// The upload progress bar under the panels: a framed strip that fills from the left with the
// progress pattern (bitmap 147) and leaves the rest white. ReportProgress may be called from
// any thread and never waits.
class ProgressBar : public platform::ProgressSink {
 public:
  static constexpr Rect kBounds{196, 410, 443, 36};

  // repaint asks for the bar's rectangle to be painted again; it is called on the reporting
  // thread and must only post.
  explicit ProgressBar(std::function<void(const Rect&)> repaint) : repaint(std::move(repaint)) {}

  // Stores the range; no repaint.
  void SetRange(std::int32_t low, std::int32_t high);
  // Stores the position (not clipped to the range) and asks for a repaint.
  void ReportProgress(std::int32_t position) override;

  std::int32_t Position() const { return position; }
  // First pixel column (of the bar) right of the pattern fill.
  std::int32_t FillRight() const;
  void Paint(Canvas& canvas) const;

 private:
  std::function<void(const Rect&)> repaint;
  std::atomic<std::int32_t> minimum{0};
  std::atomic<std::int32_t> maximum{100};
  std::atomic<std::int32_t> position{0};
};

}  // namespace flashdesk::window
