#pragma once

#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "platform/SerialApi.h"
#include "platform/SettingsStore.h"

namespace flashdesk {

// What the engine needs of the world; all outlive the engine.
struct EngineServices {
  platform::SerialApi& serial;
  platform::Clock& clock;
  platform::SettingsStore& settings;
  platform::Prompts& prompts;
};

}  // namespace flashdesk
