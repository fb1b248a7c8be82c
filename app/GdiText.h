#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QVector>

namespace flashdesk {

// Text in the window's typeface (Arial, or its metric twin Liberation Sans) laid out as Windows
// GDI lays out a font asked for by cell height, average character width and weight: the face
// at the em that fills the cell, each glyph's hinted advance widened by the asked width over
// the face's whole-pixel average and rounded up, no kerning. So a line takes the same pixels
// here as in the Win32 window.
class GdiText {
 public:
  GdiText(int cellHeight, int averageWidth, int weight);

  // The glyphs of text with their pen positions, the first at 0.
  QGlyphRun Layout(const QString& text) const;
  // The advance of the whole text in pixels.
  int Width(const QString& text) const;
  // From the top of the cell to the baseline.
  int Ascent() const { return ascent; }

 private:
  // Where each glyph's pen stands, the end of the last one included.
  QVector<int> Pens(const QVector<quint32>& glyphs) const;

  QRawFont natural;  // hinted at the em, for the advances
  QRawFont shaped;   // stretched like the glyphs GDI draws
  int averageWidth;
  int naturalAverage;
  int ascent;
};

}  // namespace flashdesk
