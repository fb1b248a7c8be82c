#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/Canvas.h"
#include "window/CheckEntry.h"

namespace flashdesk::window {

// A list of check entries shown three at a time in its rectangle of the window, with a paging
// text under them that turns the page. It draws no background: what the window draws behind
// it shows through. The pointer reaches an entry only over that entry, as a child window of
// its own would: an entry the pointer left keeps its hover until the pointer comes back.
class PagedPanel {
 public:
  static constexpr int kRowHeight = 24;
  static constexpr int kPageSize = 3;

  // The three rows of a page start at 0, 24 and 48 of the panel.
  static int EntryTop(int index) { return (index % kPageSize) * kRowHeight; }
  // The paging text's sensitive area: 20 < x < 130, 72 < y < 92 of the panel.
  static bool InPagingArea(Point point);

  const Rect& Bounds() const { return bounds; }
  std::int32_t FirstVisible() const { return firstVisible; }
  bool MoreHover() const { return moreHover; }
  bool Hover(int index) const { return entries[static_cast<std::size_t>(index)].hover; }
  // Entry index shown on the current page.
  bool OnPage(int index) const;

  void Paint(Canvas& canvas) const;
  // The pointer moved to a window point inside the panel; true when the panel must repaint.
  bool MouseMove(Point point);
  // A left press at a window point inside the panel; true when the panel must repaint. A press
  // on an entry's check box toggles it and hands the entry to OnEntryClicked.
  bool MousePress(Point point);
  // The entry whose check box holds the window point; -1 when none.
  int EntryBoxAt(Point point) const;

 protected:
  PagedPanel(Rect bounds, int entryWidth, int slots, std::string pagingText, Colour tickedFill);
  ~PagedPanel() = default;

  virtual std::int32_t ListedEntries() const = 0;
  virtual bool IsSelected(int index) const = 0;
  virtual void ToggleSelected(int index) = 0;
  virtual std::string EntryText(int index) const = 0;
  // Drawn in place of the entries while the list is empty; nothing when it is empty.
  virtual std::string EmptyListText() const = 0;
  // After an entry's box was clicked.
  virtual void OnEntryClicked(int index) = 0;

  void ResetPage() { firstVisible = 0; }

 private:
  // The entry on the current page under a panel point; -1 when none.
  int EntryAt(Point local) const;

  const Rect bounds;
  const int entryWidth;
  const std::string pagingText;
  const Colour tickedFill;
  std::vector<CheckEntry> entries;
  std::int32_t firstVisible = 0;
  bool moreHover = false;
};

}  // namespace flashdesk::window
