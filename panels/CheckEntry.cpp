#include "panels/CheckEntry.h"

#include <QMouseEvent>
#include <QPainter>

#include "panels/GuiThread.h"
#include "panels/PixelFont.h"

namespace flashdesk {
namespace {

const QColor kEmptyFill(200, 200, 200);
const QColor kOutline(150, 150, 150);
const QColor kDarkOutline(76, 76, 76);
const QColor kTickedText(100, 100, 100);
const QColor kEmptyText(125, 125, 125);

}  // namespace

CheckEntry::CheckEntry(int controlId, QWidget* parent) : QWidget(parent), controlId(controlId) {
  setMouseTracking(true);
}

bool CheckEntry::InCheckBox(QPoint point) {
  return point.x() > 0 && point.x() < 15 && point.y() > 0 && point.y() < 15;
}

void CheckEntry::SetShown(bool show) {
  shown = show;
  RunOnGuiThread(this, [this, show] {
    setVisible(show);
    update();
  });
}

void CheckEntry::RequestRepaint() {
  RunOnGuiThread(this, [this] { update(); });
}

void CheckEntry::mousePressEvent(QMouseEvent* event) {
  // Clicks on the entry never reach the panel behind it.
  event->accept();
  if (event->button() != Qt::LeftButton || !InCheckBox(event->position().toPoint()))
    return;
  ToggleSelected();
  update();
  emit Command(controlId);
}

void CheckEntry::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  hover = InCheckBox(event->position().toPoint());
  update();
}

void CheckEntry::paintEvent(QPaintEvent*) {
  const QFont font = PixelFont(15, 7, 600);
  const bool ticked = IsSelected();
  QPainter painter(this);
  painter.setPen(hover ? kDarkOutline : kOutline);
  painter.setBrush(ticked ? TickedFill() : kEmptyFill);
  // Covers the pixels 1 to 14 with 5 x 5 corner ellipses.
  painter.drawRoundedRect(QRect(1, 1, 13, 13), 2.5, 2.5);
  if (ticked) {
    painter.setPen(kDarkOutline);
    const QPoint tick[] = {{4, 9}, {7, 12}, {12, 3}};
    painter.drawPolyline(tick, 3);
  }
  painter.setFont(font);
  painter.setPen(ticked ? kTickedText : kEmptyText);
  painter.drawText(kTextLeft, TextTopToBaseline(font), EntryText());
}

}  // namespace flashdesk
