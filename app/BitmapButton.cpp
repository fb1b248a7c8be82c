#include "app/BitmapButton.h"

#include <QPainter>

namespace flashdesk {

BitmapButton::BitmapButton(const window::ButtonSpec& spec, QtResources& resources, QWidget* parent)
    : QAbstractButton(parent), spec(spec), resources(resources) {
  setObjectName(QString::fromLatin1(spec.name));
  setAccessibleName(QString::fromLatin1(spec.accessibleName));
  setFocusPolicy(Qt::StrongFocus);
  setGeometry(spec.bounds.left, spec.bounds.top, spec.bounds.width, spec.bounds.height);
}

QSize BitmapButton::sizeHint() const {
  return QSize(spec.bounds.width, spec.bounds.height);
}

window::BitmapId BitmapButton::CurrentBitmap() const {
  return spec.Shown(isDown(), hasFocus(), isEnabled());
}

void BitmapButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, resources.Bitmap(CurrentBitmap()));
}

}  // namespace flashdesk
