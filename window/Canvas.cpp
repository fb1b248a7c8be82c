#include "window/Canvas.h"

#include <algorithm>

namespace flashdesk::window {

Rect Rect::Intersected(const Rect& other) const {
  const int newLeft = std::max(left, other.left);
  const int newTop = std::max(top, other.top);
  const int newRight = std::min(Right(), other.Right());
  const int newBottom = std::min(Bottom(), other.Bottom());
  if (newRight <= newLeft || newBottom <= newTop)
    return {newLeft, newTop, 0, 0};
  return {newLeft, newTop, newRight - newLeft, newBottom - newTop};
}

FontSpec SpecOf(FontName font) {
  switch (font) {
    case FontName::kCaption:
      return {20, 10, 700};
    case FontName::kHeading:
      return {18, 9, 700};
    case FontName::kPagingText:
      return {16, 6, 600};
    case FontName::kEntryText:
      return {15, 7, 600};
    case FontName::kBody:
    case FontName::kStatus:
      break;
  }
  return {15, 7, 400};
}

void Canvas::FrameRect(const Rect& rect, Colour colour) {
  FillRect({rect.left, rect.top, rect.width, 1}, colour);
  FillRect({rect.left, rect.Bottom() - 1, rect.width, 1}, colour);
  FillRect({rect.left, rect.top, 1, rect.height}, colour);
  FillRect({rect.Right() - 1, rect.top, 1, rect.height}, colour);
}

}  // namespace flashdesk::window
