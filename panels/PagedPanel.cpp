#include "panels/PagedPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "panels/GuiThread.h"
#include "panels/PixelFont.h"

namespace flashdesk {
namespace {

const QColor kText(100, 100, 100);
const QColor kHoverText(40, 40, 40);
constexpr int kTextLeft = 20;

}  // namespace

PagedPanel::PagedPanel(QString pagingText, QWidget* parent)
    : QWidget(parent), pagingText(std::move(pagingText)) {
  setMouseTracking(true);
}

bool PagedPanel::InPagingArea(QPoint point) {
  const int top = kPageSize * kRowHeight;
  return point.x() > kTextLeft && point.x() < 130 && point.y() > top &&
         point.y() < top + kEntryHeight;
}

void PagedPanel::SetShown(bool show) {
  shown = show;
  RunOnGuiThread(this, [this, show] { setVisible(show); });
  // Repaints the panel and every entry.
  ApplyLayout();
}

void PagedPanel::ConnectEntry(CheckEntry& entry) {
  connect(&entry, &CheckEntry::Command, this, [this](int id) {
    OnEntryCommand(id);
    update();
  });
}

bool PagedPanel::OnPage(int index, std::int32_t listed) const {
  const std::int32_t first = firstVisible;
  return index >= first && index - first < kPageSize && index < listed;
}

void PagedPanel::ApplyLayout() {
  RunOnGuiThread(this, [this] {
    const std::int32_t listed = ListedEntries();
    for (int i = 0; i < EntrySlots(); ++i)
      EntryAt(i).SetShown(OnPage(i, listed));
    update();
  });
}

void PagedPanel::paintEvent(QPaintEvent*) {
  const QFont font = PixelFont(16, 6, 600);
  const int baseline = TextTopToBaseline(font);
  const std::int32_t listed = ListedEntries();
  QPainter painter(this);
  painter.setFont(font);
  if (kPageSize < listed) {
    painter.setPen(moreHover ? kHoverText : kText);
    painter.drawText(kTextLeft, kPageSize * kRowHeight + baseline, pagingText);
  }
  if (listed == 0) {
    const QString empty = EmptyListText();
    if (!empty.isEmpty()) {
      painter.setPen(kText);
      painter.drawText(kTextLeft, baseline, empty);
    }
  }
}

void PagedPanel::mouseMoveEvent(QMouseEvent* event) {
  if (ListedEntries() > kPageSize) {
    moreHover = InPagingArea(event->position().toPoint());
    update();
  }
  // Like every child window, the panel keeps its mouse events from the dialog behind it.
  event->accept();
}

void PagedPanel::mousePressEvent(QMouseEvent* event) {
  const std::int32_t listed = ListedEntries();
  if (event->button() == Qt::LeftButton && listed > kPageSize &&
      InPagingArea(event->position().toPoint())) {
    std::int32_t next = firstVisible + kPageSize;
    if (next >= listed)
      next = 0;
    firstVisible = next;
    ApplyLayout();
  }
  event->accept();
}

}  // namespace flashdesk
