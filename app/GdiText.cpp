#include "app/GdiText.h"

#include <cmath>

namespace flashdesk {
namespace {

// Arial's design: ascent plus descent is 2288 units of a 2048-unit em, the ascent 1854, and
// the average character width 904 units (regular) or 983 (bold). Liberation Sans shares the
// advances but records another average, so the widening is computed from Arial's own figures.
constexpr double kEmUnits = 2048.0;
constexpr double kCellUnits = 2288.0;
constexpr double kAscentUnits = 1854.0;
constexpr double kAverageRegular = 904.0;
constexpr double kAverageBold = 983.0;
// GDI takes the bold face from this weight on.
constexpr int kBoldFrom = 600;

QFont Face(int em, bool bold, int stretch) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(em);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  font.setStretch(stretch);
  font.setKerning(false);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

}  // namespace

GdiText::GdiText(int cellHeight, int averageWidth, int weight) : averageWidth(averageWidth) {
  const int em = static_cast<int>(std::lround(cellHeight * kEmUnits / kCellUnits));
  const bool bold = weight >= kBoldFrom;
  naturalAverage =
      static_cast<int>(std::lround(em * (bold ? kAverageBold : kAverageRegular) / kEmUnits));
  ascent = static_cast<int>(std::lround(em * kAscentUnits / kEmUnits));
  natural = QRawFont::fromFont(Face(em, bold, 100));
  shaped = QRawFont::fromFont(
      Face(em, bold, static_cast<int>(std::lround(100.0 * averageWidth / naturalAverage))));
}

QVector<int> GdiText::Pens(const QVector<quint32>& glyphs) const {
  QVector<int> pens{0};
  for (const QPointF& advance : natural.advancesForGlyphIndexes(glyphs)) {
    const int hinted = static_cast<int>(std::lround(advance.x()));
    // Rounded up, in whole numbers: GDI never lets a widened glyph lose a pixel.
    pens.push_back(pens.back() + (hinted * averageWidth + naturalAverage - 1) / naturalAverage);
  }
  return pens;
}

QGlyphRun GdiText::Layout(const QString& text) const {
  const QVector<quint32> glyphs = natural.glyphIndexesForString(text);
  const QVector<int> pens = Pens(glyphs);
  QVector<QPointF> positions;
  positions.reserve(glyphs.size());
  for (int i = 0; i < glyphs.size(); ++i)
    positions.push_back(QPointF(pens[i], 0));
  QGlyphRun run;
  run.setRawFont(shaped);
  run.setGlyphIndexes(glyphs);
  run.setPositions(positions);
  return run;
}

int GdiText::Width(const QString& text) const {
  return Pens(natural.glyphIndexesForString(text)).back();
}

}  // namespace flashdesk
