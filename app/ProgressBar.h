#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>
#include <atomic>
#include <cstdint>

#include "platform/ProgressSink.h"

namespace flashdesk {

// The upload progress bar: a framed strip that fills from the left with the progress pattern
// (bitmap 147) and leaves the rest white. ReportProgress may be called from any thread.
class ProgressBar : public QWidget, public platform::ProgressSink {
  Q_OBJECT

 public:
  explicit ProgressBar(QWidget* parent);

  // Places the bar at rect in its parent's coordinates and remembers it for erasing.
  void Create(const QRect& rect);
  // Stores the range; no repaint.
  void SetRange(std::int32_t low, std::int32_t high);
  // Stores the position (not clipped to the range) and posts the repaint; never waits. When
  // the bar goes back, the parent repaints the bar's rectangle first.
  void ReportProgress(std::int32_t position) override;

  std::int32_t Position() const { return position; }
  // First pixel column right of the pattern fill for a client area of this width.
  std::int32_t FillRight(int clientWidth) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect createRect;
  std::atomic<std::int32_t> minimum{0};
  std::atomic<std::int32_t> maximum{100};
  std::atomic<std::int32_t> position{0};
  QPixmap pattern;
};

}  // namespace flashdesk
