#include "panels/SpeakerButton.h"

namespace flashdesk {

SpeakerButton::SpeakerButton(int controlId, QWidget* parent) : CheckEntry(controlId, parent) {}

const char* SpeakerButton::ModelName(std::int32_t type) {
  switch (type) {
    case 3:
      return "TARN-S2";
    case 4:
      return "TARN-S1";
    case 5:
      return "TARN-LOW-1";
    case 6:
      return "TARN-LOW-2";
    case 8:
      return "TARN-S3";
    case 10:
      return "TARN-S4";
    case 12:
      return "TARN-LOW-3";
    case 13:
      return "TARN-LOW-4";
    default:
      return nullptr;
  }
}

void SpeakerButton::SetType(std::int32_t code) {
  {
    std::lock_guard<std::mutex> guard(lock);
    type = code;
    if (const char* model = ModelName(code))
      name = model;
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
