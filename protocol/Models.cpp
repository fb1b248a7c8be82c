#include "protocol/Models.h"

namespace flashdesk {

const SpeakerModel* FindModel(std::int32_t type) {
  for (const SpeakerModel& model : kSpeakerModels) {
    if (model.type == type)
      return &model;
  }
  return nullptr;
}

}  // namespace flashdesk
