#pragma once

#include <string>

#include "window/Canvas.h"

namespace flashdesk::window {

// One line of a selection list: a rounded check box and a text. Only the check box reacts to
// the pointer: hovering darkens its outline, a click toggles it.
struct CheckEntry {
  static constexpr int kHeight = 20;
  static constexpr int kTextLeft = 20;

  // The check box is the square from (1, 1) to (14, 14) of the entry.
  static bool InCheckBox(Point point) {
    return point.x > 0 && point.x < 15 && point.y > 0 && point.y < 15;
  }
  // Draws the box (filled with tickedFill when ticked, with the tick) and the text at
  // topLeft, within the entry's width.
  static void Paint(Canvas& canvas, Point topLeft, int width, bool ticked, bool hover,
                    Colour tickedFill, const std::string& text);

  bool hover = false;
};

}  // namespace flashdesk::window
