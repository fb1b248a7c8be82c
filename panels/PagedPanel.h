#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>

#include "panels/CheckEntry.h"

namespace flashdesk {

// A list of check entries shown three at a time, with a paging text under them that turns
// the page. It draws no background: what lies behind the panel shows through. Entry
// commands arrive at OnEntryCommand; the panel sends its own notification through Command.
class PagedPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 24;
  static constexpr int kPageSize = 3;
  static constexpr int kEntryHeight = 20;

  std::int32_t FirstVisible() const { return firstVisible; }
  bool MoreHover() const { return moreHover; }
  bool Shown() const { return shown; }
  // Shows or hides the panel and repaints it with its entries; any thread.
  void SetShown(bool show);

  // The paging text's sensitive area: 20 < x < 130, 72 < y < 92.
  static bool InPagingArea(QPoint point);
  // Top-left of entry i: the three rows of a page start at 0, 24 and 48.
  static int EntryTop(int index) { return (index % kPageSize) * kRowHeight; }

 signals:
  void Command(int id);

 protected:
  PagedPanel(QString pagingText, QWidget* parent);

  virtual std::int32_t ListedEntries() const = 0;
  virtual int EntrySlots() const = 0;
  virtual CheckEntry& EntryAt(int index) = 0;
  // Drawn in place of the entries while the list is empty; nothing when it returns empty.
  virtual QString EmptyListText() const = 0;
  virtual void OnEntryCommand(int id) = 0;

  // Adds entry widgets' commands to OnEntryCommand; call once per entry.
  void ConnectEntry(CheckEntry& entry);
  void ResetPage() { firstVisible = 0; }
  // Shows the entries of the current page and hides the others; any thread.
  void ApplyLayout();

  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool OnPage(int index, std::int32_t listed) const;

  const QString pagingText;
  std::atomic<std::int32_t> firstVisible{0};
  bool moreHover = false;
  std::atomic<bool> shown{false};
};

}  // namespace flashdesk
