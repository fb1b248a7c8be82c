// The simulator's command line: the input split at NUL bytes into arguments. A refusal says
// why; a bus it accepts is one the simulator can serve, with every number within the protocol's
// bounds.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "sim/SimOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace flashdesk::sim;
  std::vector<std::string> arguments;
  std::string argument;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0') {
      arguments.push_back(argument);
      argument.clear();
    } else {
      argument += static_cast<char>(data[i]);
    }
  }
  if (size > 0)
    arguments.push_back(argument);
  SimOptions options;
  std::string error;
  if (!ParseSimOptions(arguments, options, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  if (options.command == SimOptions::Command::kMakeFirmware)
    FUZZ_CHECK(!options.firmwareFolder.empty() && options.firmwareFolder[0] != '-');
  if (options.command != SimOptions::Command::kServe)
    return 0;
  FUZZ_CHECK(!options.linkPath.empty() && !options.speakers.empty());
  for (const SpeakerConfig& speaker : options.speakers) {
    FUZZ_CHECK(speaker.serial < (1u << 28) && speaker.type < 0x80 && !speaker.software.empty());
    for (const flashdesk::SoftwareEntry& entry : speaker.software)
      FUZZ_CHECK(entry.kind < 0x80 && entry.major < 0x80 && entry.minor < 100);
    FUZZ_CHECK(speaker.bootSignalPeriodMs >= 0 && speaker.bootSignalPeriodMs <= 60000);
    // New serials come only with the repeats that carry them.
    FUZZ_CHECK(speaker.chatterPeriodMs >= 0 &&
               (!speaker.chatterNewSerials || speaker.chatterPeriodMs > 0));
    for (const InjectedError& injected : speaker.injectedErrors)
      FUZZ_CHECK(injected.attempt >= 1 && injected.block >= 0);
  }
  return 0;
}
