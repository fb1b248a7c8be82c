#include "panels/SpeakerPanel.h"

#include <algorithm>
#include <cstdio>

#include "engine/SpeakerNetwork.h"
#include "platform/Trace.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "resources/Strings.h"

namespace flashdesk {
namespace {

// A speaker counts for its model when it holds any kind of software.
std::int32_t SpeakersOfModel(const SpeakerNetwork& network, std::int32_t type) {
  const std::int32_t speakers = std::max(
      {network.CountSpeakers(type, kKindBoot), network.CountSpeakers(type, kKindApplication),
       network.CountSpeakers(type, kKindFpga), network.CountSpeakers(type, kKindTest)});
  char line[64];
  std::snprintf(line, sizeof line, "Speakertype[%2.0i] : count = %2i\n", type, speakers);
  platform::Trace(line);
  return speakers;
}

}  // namespace

SpeakerPanel::SpeakerPanel(QWidget* parent)
    : PagedPanel(QString::fromLatin1(strings::kMoreSpeakers), parent) {
  for (int i = 0; i < kEntrySlots; ++i) {
    entries[i] = new SpeakerButton(kFirstId + i, this);
    entries[i]->setGeometry(0, EntryTop(i), 300, kEntryHeight);
    entries[i]->hide();
    ConnectEntry(*entries[i]);
  }
}

void SpeakerPanel::Fill(const SpeakerNetwork& network) {
  entryCount = 0;
  std::int32_t total = 0;
  std::int32_t listed = 0;
  for (const SpeakerModel& model : kSpeakerModels) {
    const std::int32_t type = model.type;
    const std::int32_t speakers = SpeakersOfModel(network, type);
    SpeakerButton& entry = *entries[listed];
    entry.SetType(type);
    entry.SetCount(speakers);
    entry.SetSelected(listed == 0);
    total += speakers;
    ++listed;
  }
  // Published only now, so the window never draws a list that is half filled.
  entryCount = total == 0 ? 0 : listed;
  filled = true;
  ApplyLayout();
}

std::int32_t SpeakerPanel::TotalSpeakers() const {
  std::int32_t total = 0;
  for (const SpeakerButton* entry : entries)
    total += entry->Count();
  return total;
}

std::int32_t SpeakerPanel::SelectedType() const {
  for (const SpeakerButton* entry : entries) {
    if (entry->IsSelected())
      return entry->Type();
  }
  return 0;
}

QString SpeakerPanel::EmptyListText() const {
  return filled ? QString::fromLatin1(strings::kNoSpeakersFound) : QString();
}

void SpeakerPanel::OnEntryCommand(int id) {
  if (id < kFirstId || id >= kFirstId + kEntrySlots)
    return;
  for (int j = 0; j < kEntrySlots; ++j) {
    if (j != id - kFirstId)
      entries[j]->SetSelected(false);
  }
  emit Command(kNotification);
}

}  // namespace flashdesk
