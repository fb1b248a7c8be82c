#include "app/QtCanvas.h"

#include <QFontMetrics>

#include "app/PixelFont.h"

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

const QFont& QtResources::Font(window::FontName font) {
  auto known = fonts.find(font);
  if (known == fonts.end()) {
    const window::FontSpec spec = window::SpecOf(font);
    known = fonts.emplace(font, PixelFont(spec.height, spec.width, spec.weight)).first;
    ascents[font] = QFontMetrics(known->second).ascent();
  }
  return known->second;
}

int QtResources::Ascent(window::FontName font) {
  Font(font);
  return ascents[font];
}

void QtCanvas::CopyBitmap(window::BitmapId bitmap, window::Point topLeft) {
  painter.drawPixmap(topLeft.x, topLeft.y, resources.Bitmap(bitmap));
}

void QtCanvas::FillRect(const window::Rect& rect, window::Colour colour) {
  painter.fillRect(ToQt(rect), ToQt(colour));
}

void QtCanvas::DrawText(window::FontName font, window::Colour colour, window::Point topLeft,
                        const std::string& text) {
  painter.setFont(resources.Font(font));
  painter.setPen(ToQt(colour));
  painter.drawText(topLeft.x, topLeft.y + resources.Ascent(font), QString::fromStdString(text));
}

void QtCanvas::SetClip(const window::Rect& rect) {
  painter.setClipRect(ToQt(rect));
}

void QtCanvas::ClearClip() {
  painter.setClipping(false);
}

}  // namespace flashdesk
