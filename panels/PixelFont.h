#pragma once

#include <QFont>

namespace flashdesk {

// The window's typeface (Arial, or its metric twin Liberation Sans) sized like a font of the
// classic Windows interface: cellHeight is ascent plus descent in pixels, averageWidth the
// average character width the glyphs are stretched to, weight 400 normal to 700 bold.
QFont PixelFont(int cellHeight, int averageWidth, int weight);

// Baseline offset for drawing text whose cell has its top-left corner at a given point.
int TextTopToBaseline(const QFont& font);

}  // namespace flashdesk
