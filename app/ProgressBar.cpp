#include "app/ProgressBar.h"

#include <QMetaObject>
#include <QPainter>

namespace flashdesk {
namespace {

const QColor kFrameTopLeft(180, 180, 180);
const QColor kFrameBottomRight(140, 140, 140);
constexpr int kInset = 2;

}  // namespace

ProgressBar::ProgressBar(QWidget* parent)
    : QWidget(parent), pattern(QStringLiteral(":/bitmaps/147.png")) {}

void ProgressBar::Create(const QRect& rect) {
  createRect = rect;
  setGeometry(rect);
  show();
}

void ProgressBar::SetRange(std::int32_t low, std::int32_t high) {
  minimum = low;
  maximum = high;
}

void ProgressBar::ReportProgress(std::int32_t newPosition) {
  const std::int32_t old = position.exchange(newPosition);
  // Queued even on the window's own thread, so no caller ever waits for a paint.
  if (newPosition < old) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (parentWidget())
            parentWidget()->update(createRect);
        },
        Qt::QueuedConnection);
  }
  QMetaObject::invokeMethod(
      this, [this] { update(); }, Qt::QueuedConnection);
}

std::int32_t ProgressBar::FillRight(int clientWidth) const {
  const std::int32_t low = minimum;
  const std::int32_t high = maximum;
  const int innerWidth = clientWidth - 2 * kInset;
  // An empty range would divide by zero: the bar then stays empty.
  if (high == low || innerWidth <= 0)
    return kInset;
  const float fraction = static_cast<float>(position - low) / static_cast<float>(high - low);
  const float right = static_cast<float>(kInset) + static_cast<float>(innerWidth) * fraction;
  // Positions outside the range are drawn within the bar.
  if (!(right > kInset))
    return kInset;
  if (right > static_cast<float>(kInset + innerWidth))
    return kInset + innerWidth;
  return static_cast<std::int32_t>(right);
}

void ProgressBar::paintEvent(QPaintEvent*) {
  const QRect client = rect();
  QPainter painter(this);
  const int right = client.width() - 1;
  const int bottom = client.height() - 1;
  painter.fillRect(QRect(0, 0, right, 1), kFrameTopLeft);
  painter.fillRect(QRect(0, 0, 1, bottom), kFrameTopLeft);
  painter.fillRect(QRect(right, 0, 1, client.height()), kFrameBottomRight);
  painter.fillRect(QRect(0, bottom, client.width(), 1), kFrameBottomRight);

  const QRect inner = client.adjusted(kInset, kInset, -kInset, -kInset);
  if (inner.isEmpty())
    return;
  const int fillRight = FillRight(client.width());
  painter.fillRect(QRect(fillRight, inner.top(), inner.right() + 1 - fillRight, inner.height()),
                   Qt::white);
  // The brush origin is the bar's own corner, so a growing fill uncovers the pattern.
  painter.setBrushOrigin(0, 0);
  painter.fillRect(QRect(inner.left(), inner.top(), fillRight - inner.left(), inner.height()),
                   QBrush(pattern));
}

}  // namespace flashdesk
