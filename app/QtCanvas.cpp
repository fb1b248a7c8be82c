#include "app/QtCanvas.h"

namespace flashdesk {
namespace {

QRect ToQt(const window::Rect& rect) {
  return QRect(rect.left, rect.top, rect.width, rect.height);
}

QColor ToQt(window::Colour colour) {
  return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

const QPixmap& QtResources::Bitmap(window::BitmapId bitmap) {
  auto known = bitmaps.find(bitmap);
  if (known == bitmaps.end()) {
    const QString resource = QStringLiteral(":/bitmaps/%1.png").arg(static_cast<int>(bitmap));
    known = bitmaps.emplace(bitmap, QPixmap(resource)).first;
  }
  return known->second;
}

const GdiText& QtResources::Font(window::FontName font) {
  auto known = fonts.find(font);
  if (known == fonts.end()) {
    const window::FontSpec spec = window::SpecOf(font);
    known =
        fonts.emplace(font, std::make_unique<GdiText>(spec.height, spec.width, spec.weight)).first;
  }
  return *known->second;
}

void QtCanvas::CopyBitmap(window::BitmapId bitmap, window::Point topLeft) {
  painter.drawPixmap(topLeft.x, topLeft.y, resources.Bitmap(bitmap));
}

void QtCanvas::FillRect(const window::Rect& rect, window::Colour colour) {
  painter.fillRect(ToQt(rect), ToQt(colour));
}

void QtCanvas::DrawText(window::FontName font, window::Colour colour, window::Point topLeft,
                        const std::string& text) {
  const GdiText& laidOut = resources.Font(font);
  painter.setPen(ToQt(colour));
  painter.drawGlyphRun(QPointF(topLeft.x, topLeft.y + laidOut.Ascent()),
                       laidOut.Layout(QString::fromStdString(text)));
}

void QtCanvas::SetClip(const window::Rect& rect) {
  painter.setClipRect(ToQt(rect));
}

void QtCanvas::ClearClip() {
  painter.setClipping(false);
}

}  // namespace flashdesk
