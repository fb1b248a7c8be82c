#pragma once

#include <QFont>

namespace flashdesk {

// The window's typeface (Arial, or its metric twin Liberation Sans) sized like a font of the
// classic Windows interface: cellHeight is ascent plus descent in pixels, averageWidth the
// average character width the glyphs are stretched to, weight 400 normal to 700 bold.
QFont PixelFont(int cellHeight, int averageWidth, int weight);

}  // namespace flashdesk
