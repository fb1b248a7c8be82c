#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "panels/PagedPanel.h"
#include "panels/SpeakerButton.h"

namespace flashdesk {

class SpeakerNetwork;

// The list of speaker models ("Select Speakers"): Fill lists the eight models with the
// speakers a scan found, of which at most one is selected. Sends Command(1500) when the
// selection changes.
class SpeakerPanel : public PagedPanel {
  Q_OBJECT

 public:
  static constexpr int kEntrySlots = 37;
  static constexpr int kFirstId = 1500;
  static constexpr int kNotification = 1500;

  explicit SpeakerPanel(QWidget* parent);

  // Lists the models with the speakers of each that the network's last scan found. Runs on a
  // worker thread: it touches no widget directly but stores the entries' data and posts their
  // showing to the window's thread.
  void Fill(const SpeakerNetwork& network);
  // Speakers found by the scan, counted per model.
  std::int32_t TotalSpeakers() const;
  // Type code of the selected model; 0 when none is selected.
  std::int32_t SelectedType() const;
  bool Filled() const { return filled; }
  std::int32_t EntryCount() const { return entryCount; }
  SpeakerButton& Entry(int index) { return *entries[index]; }

 protected:
  std::int32_t ListedEntries() const override { return entryCount; }
  int EntrySlots() const override { return kEntrySlots; }
  CheckEntry& EntryAt(int index) override { return *entries[index]; }
  QString EmptyListText() const override;
  void OnEntryCommand(int id) override;

 private:
  std::array<SpeakerButton*, kEntrySlots> entries{};
  std::atomic<std::int32_t> entryCount{0};
  std::atomic<bool> filled{false};
};

}  // namespace flashdesk
