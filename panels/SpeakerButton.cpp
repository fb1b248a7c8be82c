#include "panels/SpeakerButton.h"

#include "protocol/Models.h"

namespace flashdesk {

SpeakerButton::SpeakerButton(int controlId, QWidget* parent) : CheckEntry(controlId, parent) {}

void SpeakerButton::SetType(std::int32_t code) {
  {
    std::lock_guard<std::mutex> guard(lock);
    type = code;
    if (const SpeakerModel* model = FindModel(code))
      name = model->name;
  }
  RequestRepaint();
}

std::int32_t SpeakerButton::Type() const {
  std::lock_guard<std::mutex> guard(lock);
  return type;
}

std::string SpeakerButton::Name() const {
  std::lock_guard<std::mutex> guard(lock);
  return name;
}

void SpeakerButton::SetCount(std::int32_t speakers) {
  {
    std::lock_guard<std::mutex> guard(lock);
    count = speakers;
  }
  RequestRepaint();
}

std::int32_t SpeakerButton::Count() const {
  std::lock_guard<std::mutex> guard(lock);
  return count;
}

void SpeakerButton::SetSelected(bool tick) {
  {
    std::lock_guard<std::mutex> guard(lock);
    selected = tick;
  }
  RequestRepaint();
}

bool SpeakerButton::IsSelected() const {
  std::lock_guard<std::mutex> guard(lock);
  return selected;
}

void SpeakerButton::ToggleSelected() {
  std::lock_guard<std::mutex> guard(lock);
  selected = !selected;
}

QString SpeakerButton::EntryText() const {
  return QString::fromStdString(Name());
}

}  // namespace flashdesk
