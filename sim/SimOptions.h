#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SpeakerConfig.h"

namespace flashdesk::sim {

// What the flashdesk-sim command line asks for.
struct SimOptions {
  enum class Command { kServe, kMakeFirmware, kHelp, kVersion };
  Command command = Command::kServe;
  std::string linkPath;
  std::string firmwareFolder;
  std::vector<SpeakerConfig> speakers;
  bool noiseAfterUploadStart = false;
  bool verbose = false;
  // Where the received images go on stopping; empty: nowhere.
  std::string uploadsFolder;
};

constexpr std::int32_t kDefaultBootSignalPeriodMs = 500;
constexpr std::int32_t kChatterPeriodMs = 10;

// Parses the arguments after the program name; false with a message for the user when they
// make no sense. Nothing is started here.
bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options,
                     std::string& error);

// The --help text: every option explained.
std::string SimUsage();

// The --demo bus.
std::vector<SpeakerConfig> DemoSpeakers();

}  // namespace flashdesk::sim
