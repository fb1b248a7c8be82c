#include "window/PagedPanel.h"

#include <utility>

namespace flashdesk::window {
namespace {

constexpr Colour kText{100, 100, 100};
constexpr Colour kHoverText{40, 40, 40};
constexpr int kTextLeft = 20;

}  // namespace

PagedPanel::PagedPanel(Rect bounds, int entryWidth, int slots, std::string pagingText,
                       Colour tickedFill)
    : bounds(bounds),
      entryWidth(entryWidth),
      pagingText(std::move(pagingText)),
      tickedFill(tickedFill),
      entries(static_cast<std::size_t>(slots)) {}

bool PagedPanel::InPagingArea(Point point) {
  const int top = kPageSize * kRowHeight;
  return point.x > kTextLeft && point.x < 130 && point.y > top &&
         point.y < top + CheckEntry::kHeight;
}

bool PagedPanel::OnPage(int index) const {
  return index >= firstVisible && index - firstVisible < kPageSize && index < ListedEntries();
}

int PagedPanel::EntryAt(Point local) const {
  for (int i = firstVisible; i < firstVisible + kPageSize; ++i) {
    const Rect entry{0, EntryTop(i), entryWidth, CheckEntry::kHeight};
    if (OnPage(i) && entry.Contains(local))
      return i;
  }
  return -1;
}

int PagedPanel::EntryBoxAt(Point point) const {
  const Point local = point - bounds.TopLeft();
  const int index = EntryAt(local);
  if (index < 0 || !CheckEntry::InCheckBox({local.x, local.y - EntryTop(index)}))
    return -1;
  return index;
}

void PagedPanel::Paint(Canvas& canvas) const {
  const Point origin = bounds.TopLeft();
  const std::int32_t listed = ListedEntries();
  canvas.SetClip(bounds);
  if (kPageSize < listed) {
    canvas.DrawText(FontName::kPagingText, moreHover ? kHoverText : kText,
                    {origin.x + kTextLeft, origin.y + kPageSize * kRowHeight}, pagingText);
  }
  const std::string empty = listed == 0 ? EmptyListText() : std::string();
  if (!empty.empty())
    canvas.DrawText(FontName::kPagingText, kText, {origin.x + kTextLeft, origin.y}, empty);
  for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
    if (OnPage(i)) {
      const Rect entry = Rect{origin.x, origin.y + EntryTop(i), entryWidth, CheckEntry::kHeight};
      CheckEntry::Paint(canvas, entry.TopLeft(), entry.Intersected(bounds).width, IsSelected(i),
                        entries[static_cast<std::size_t>(i)].hover, tickedFill, EntryText(i));
    }
  }
  canvas.ClearClip();
}

bool PagedPanel::MouseMove(Point point) {
  const Point local = point - bounds.TopLeft();
  const int index = EntryAt(local);
  if (index >= 0) {
    entries[static_cast<std::size_t>(index)].hover =
        CheckEntry::InCheckBox({local.x, local.y - EntryTop(index)});
    return true;
  }
  if (ListedEntries() <= kPageSize)
    return false;
  moreHover = InPagingArea(local);
  return true;
}

bool PagedPanel::MousePress(Point point) {
  const Point local = point - bounds.TopLeft();
  const int index = EntryAt(local);
  if (index >= 0) {
    if (!CheckEntry::InCheckBox({local.x, local.y - EntryTop(index)}))
      return false;
    ToggleSelected(index);
    OnEntryClicked(index);
    return true;
  }
  const std::int32_t listed = ListedEntries();
  if (listed <= kPageSize || !InPagingArea(local))
    return false;
  firstVisible += kPageSize;
  if (firstVisible >= listed)
    firstVisible = 0;
  return true;
}

}  // namespace flashdesk::window
