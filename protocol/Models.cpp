#include "protocol/Models.h"

namespace flashdesk {

const SpeakerModel* FindModel(std::int32_t type) {
  for (const SpeakerModel& model : kSpeakerModels) {
    if (model.type == type)
      return &model;
  }
  return nullptr;
}

std::string ModelName(std::int32_t type) {
  const SpeakerModel* model = FindModel(type);
  return model != nullptr ? model->name : "type " + std::to_string(type);
}

std::string FormatVersion(std::int32_t hundredths) {
  const std::int64_t magnitude = hundredths < 0 ? -std::int64_t{hundredths} : hundredths;
  const std::int64_t fraction = magnitude % 100;
  return (hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100) +
         (fraction < 10 ? ".0" : ".") + std::to_string(fraction);
}

}  // namespace flashdesk
