#include "app/BitmapButton.h"

#include <QPainter>

namespace flashdesk {
namespace {

QPixmap Bitmap(int number) {
  return QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(number));
}

}  // namespace

BitmapButton::BitmapButton(int normal, int pressed, int focused, int disabled, QWidget* parent)
    : QAbstractButton(parent),
      normalBitmap(Bitmap(normal)),
      pressedBitmap(Bitmap(pressed)),
      focusedBitmap(Bitmap(focused)),
      disabledBitmap(Bitmap(disabled)) {
  setFocusPolicy(Qt::StrongFocus);
  resize(normalBitmap.size());
}

const QPixmap& BitmapButton::CurrentBitmap() const {
  if (isDown())
    return pressedBitmap;
  if (hasFocus())
    return focusedBitmap;
  if (!isEnabled())
    return disabledBitmap;
  return normalBitmap;
}

void BitmapButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, CurrentBitmap());
}

}  // namespace flashdesk
