#include "window/ProgressBar.h"

namespace flashdesk::window {
namespace {

constexpr Colour kFrameTopLeft{180, 180, 180};
constexpr Colour kFrameBottomRight{140, 140, 140};
constexpr Colour kWhite{255, 255, 255};
constexpr int kInset = 2;

}  // namespace

void ProgressBar::SetRange(std::int32_t low, std::int32_t high) {
  minimum = low;
  maximum = high;
}

void ProgressBar::ReportProgress(std::int32_t newPosition) {
  position = newPosition;
  // Going back needs no erase of its own: the bar's whole rectangle is painted again.
  repaint(kBounds);
}

std::int32_t ProgressBar::FillRight() const {
  const std::int32_t low = minimum;
  const std::int32_t high = maximum;
  const int innerWidth = kBounds.width - 2 * kInset;
  // An empty range would divide by zero: the bar then stays empty.
  if (high == low)
    return kInset;
  const float fraction = static_cast<float>(position - low) / static_cast<float>(high - low);
  const float right = static_cast<float>(kInset) + static_cast<float>(innerWidth) * fraction;
  // Positions outside the range are drawn within the bar.
  if (!(right > kInset))
    return kInset;
  if (right > static_cast<float>(kInset + innerWidth))
    return kInset + innerWidth;
  return static_cast<std::int32_t>(right);
}

void ProgressBar::Paint(Canvas& canvas) const {
  const int left = kBounds.left;
  const int top = kBounds.top;
  const int right = kBounds.width - 1;
  const int bottom = kBounds.height - 1;
  canvas.FillRect({left, top, right, 1}, kFrameTopLeft);
  canvas.FillRect({left, top, 1, bottom}, kFrameTopLeft);
  canvas.FillRect({left + right, top, 1, kBounds.height}, kFrameBottomRight);
  canvas.FillRect({left, top + bottom, kBounds.width, 1}, kFrameBottomRight);

  const Rect inner{left + kInset, top + kInset, kBounds.width - 2 * kInset,
                   kBounds.height - 2 * kInset};
  const int fillRight = left + FillRight();
  canvas.FillRect({fillRight, inner.top, inner.Right() - fillRight, inner.height}, kWhite);
  // The pattern starts at the bar's own corner, so a growing fill uncovers it.
  canvas.SetClip({inner.left, inner.top, fillRight - inner.left, inner.height});
  canvas.CopyBitmap(BitmapId::kProgressPattern, kBounds.TopLeft());
  canvas.ClearClip();
}

}  // namespace flashdesk::window
