#include "app/PixelFont.h"

#include <cmath>

namespace flashdesk {
namespace {

// Arial's design: ascent plus descent is 2288 units of a 2048-unit em, and the average
// character width is 904 units (regular) or 983 (bold). Liberation Sans shares the first
// but records a different average, so the stretch is computed from Arial's own figures.
constexpr double kEmUnits = 2048.0;
constexpr double kCellUnits = 2288.0;
constexpr double kAverageRegular = 904.0;
constexpr double kAverageBold = 983.0;

}  // namespace

QFont PixelFont(int cellHeight, int averageWidth, int weight) {
  const int em = static_cast<int>(std::lround(cellHeight * kEmUnits / kCellUnits));
  const bool bold = weight >= 550;
  const double natural = em * (bold ? kAverageBold : kAverageRegular) / kEmUnits;
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(em);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setStretch(static_cast<int>(std::lround(100.0 * averageWidth / natural)));
  return font;
}

}  // namespace flashdesk
