#include "window/CheckEntry.h"

#include <cstdlib>

namespace flashdesk::window {
namespace {

constexpr Colour kEmptyFill{200, 200, 200};
constexpr Colour kOutline{150, 150, 150};
constexpr Colour kDark{76, 76, 76};
constexpr Colour kTickedText{100, 100, 100};
constexpr Colour kEmptyText{125, 125, 125};

// The rounded box covers the pixels 1 to 14 with 5 x 5 corner ellipses: rows 1 and 14 start
// two pixels in, rows 2 and 13 one pixel in, every other row is full width. The same pixels
// on every toolkit, so no rasteriser's rounding shows.
void PaintBox(Canvas& canvas, Point at, Colour fill, Colour outline) {
  constexpr int kFirst = 1;
  constexpr int kLast = 14;
  for (int y = kFirst; y <= kLast; ++y) {
    const int inset = (y == kFirst || y == kLast) ? 2 : (y == kFirst + 1 || y == kLast - 1) ? 1 : 0;
    const int left = kFirst + inset;
    const int right = kLast - inset;
    if (inset == 2) {
      canvas.FillRect({at.x + left, at.y + y, right - left + 1, 1}, outline);
      continue;
    }
    canvas.FillRect({at.x + left, at.y + y, 1, 1}, outline);
    canvas.FillRect({at.x + right, at.y + y, 1, 1}, outline);
    canvas.FillRect({at.x + left + 1, at.y + y, right - left - 1, 1}, fill);
  }
}

// A line of single pixels from one point to the other, both included.
void PaintLine(Canvas& canvas, Point at, Point from, Point to, Colour colour) {
  const int steps = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
  for (int i = 0; i <= steps; ++i) {
    // Rounded to the nearest pixel, halves away from the start.
    const int x = from.x + ((to.x - from.x) * i * 2 + (to.x >= from.x ? steps : -steps)) /
                               (2 * (steps == 0 ? 1 : steps));
    const int y = from.y + ((to.y - from.y) * i * 2 + (to.y >= from.y ? steps : -steps)) /
                               (2 * (steps == 0 ? 1 : steps));
    canvas.FillRect({at.x + x, at.y + y, 1, 1}, colour);
  }
}

}  // namespace

void CheckEntry::Paint(Canvas& canvas, Point topLeft, int width, bool ticked, bool hover,
                       Colour tickedFill, const std::string& text) {
  canvas.SetClip({topLeft.x, topLeft.y, width, kHeight});
  PaintBox(canvas, topLeft, ticked ? tickedFill : kEmptyFill, hover ? kDark : kOutline);
  if (ticked) {
    PaintLine(canvas, topLeft, {4, 9}, {7, 12}, kDark);
    PaintLine(canvas, topLeft, {7, 12}, {12, 3}, kDark);
  }
  canvas.DrawText(FontName::kEntryText, ticked ? kTickedText : kEmptyText,
                  {topLeft.x + kTextLeft, topLeft.y}, text);
}

}  // namespace flashdesk::window
