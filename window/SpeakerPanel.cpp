#include "window/SpeakerPanel.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/Trace.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "resources/Strings.h"

namespace flashdesk::window {
namespace {

constexpr Colour kTickedFill{105, 173, 246};

// A speaker counts for its model when it holds any kind of software.
std::int32_t SpeakersOfModel(const BusSnapshot& bus, std::int32_t type) {
  const std::int32_t speakers =
      std::max({bus.CountSpeakers(type, kKindBoot), bus.CountSpeakers(type, kKindApplication),
                bus.CountSpeakers(type, kKindFpga), bus.CountSpeakers(type, kKindTest)});
  char line[64];
  std::snprintf(line, sizeof line, "Speakertype[%2.0i] : count = %2i\n", type, speakers);
  platform::Trace(line);
  return speakers;
}

}  // namespace

void SpeakerButton::SetType(std::int32_t code) {
  type = code;
  if (const SpeakerModel* model = FindModel(code))
    name = model->name;
}

SpeakerPanel::SpeakerPanel(std::function<void(int)> notify)
    : PagedPanel(kBounds, 300, kEntrySlots, strings::kMoreSpeakers, kTickedFill),
      notify(std::move(notify)) {}

void SpeakerPanel::Fill(const BusSnapshot& bus) {
  std::int32_t total = 0;
  std::int32_t listed = 0;
  for (const SpeakerModel& model : kSpeakerModels) {
    SpeakerButton& button = buttons[static_cast<std::size_t>(listed)];
    button.SetType(model.type);
    button.count = SpeakersOfModel(bus, model.type);
    button.selected = listed == 0;
    total += button.count;
    ++listed;
  }
  entryCount = total == 0 ? 0 : listed;
  filled = true;
}

std::int32_t SpeakerPanel::TotalSpeakers() const {
  std::int32_t total = 0;
  for (const SpeakerButton& button : buttons)
    total += button.count;
  return total;
}

std::int32_t SpeakerPanel::SelectedType() const {
  for (const SpeakerButton& button : buttons) {
    if (button.selected)
      return button.type;
  }
  return 0;
}

void SpeakerPanel::ToggleSelected(int index) {
  SpeakerButton& button = buttons[static_cast<std::size_t>(index)];
  button.selected = !button.selected;
}

std::string SpeakerPanel::EmptyListText() const {
  return filled ? strings::kNoSpeakersFound : "";
}

void SpeakerPanel::OnEntryClicked(int index) {
  for (int j = 0; j < kEntrySlots; ++j) {
    if (j != index)
      buttons[static_cast<std::size_t>(j)].selected = false;
  }
  notify(kNotification);
}

}  // namespace flashdesk::window
