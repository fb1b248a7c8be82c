#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/Outcomes.h"
#include "window/PagedPanel.h"

namespace flashdesk::window {

// One speaker model in the speaker list: its type code, display name, the speakers of it that
// the scan found (never drawn) and its tick.
struct SpeakerButton {
  std::int32_t type = 0;
  std::string name;
  std::int32_t count = 0;
  bool selected = false;

  // Stores the code; the name follows it only for a known model.
  void SetType(std::int32_t code);
};

// The list of speaker models ("Select Speakers"): Fill lists the eight models with the
// speakers a scan found, of which at most one is selected. Every click on an entry's box
// tells the dialog (kNotification).
class SpeakerPanel : public PagedPanel {
 public:
  static constexpr int kEntrySlots = 37;
  static constexpr int kFirstId = 1500;
  static constexpr int kNotification = 1500;
  static constexpr Rect kBounds{550, 120, 300, 100};

  // notify receives kNotification after each click on an entry's box.
  explicit SpeakerPanel(std::function<void(int)> notify);

  // Lists the models with the speakers of each that the scan found.
  void Fill(const BusSnapshot& bus);
  // Speakers found by the scan, counted per model.
  std::int32_t TotalSpeakers() const;
  // Type code of the selected model; 0 when none is selected.
  std::int32_t SelectedType() const;
  bool Filled() const { return filled; }
  std::int32_t EntryCount() const { return entryCount; }
  const SpeakerButton& Entry(int index) const { return buttons[static_cast<std::size_t>(index)]; }

 protected:
  std::int32_t ListedEntries() const override { return entryCount; }
  bool IsSelected(int index) const override { return Entry(index).selected; }
  void ToggleSelected(int index) override;
  std::string EntryText(int index) const override { return Entry(index).name; }
  std::string EmptyListText() const override;
  void OnEntryClicked(int index) override;

 private:
  std::function<void(int)> notify;
  std::array<SpeakerButton, kEntrySlots> buttons;
  std::int32_t entryCount = 0;
  bool filled = false;
};

}  // namespace flashdesk::window
