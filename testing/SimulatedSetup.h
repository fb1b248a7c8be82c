#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "sim/SpeakerBus.h"
#include "testing/EngineRig.h"
#include "testing/VirtualLine.h"

namespace flashdesk::testing_support {

// A scratch working directory holding syx/; the previous working directory comes back after.
class FirmwareFolder {
 public:
  explicit FirmwareFolder(const std::vector<std::string>& names = {}) {
    std::filesystem::create_directories(scratch.path / "syx");
    std::filesystem::current_path(scratch.path);
    for (const std::string& name : names)
      Add(name);
  }
  FirmwareFolder(const FirmwareFolder&) = delete;
  FirmwareFolder& operator=(const FirmwareFolder&) = delete;
  ~FirmwareFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
  }

  void Add(const std::string& name) const { std::ofstream(scratch.path / "syx" / name) << name; }

 private:
  const std::filesystem::path previous = std::filesystem::current_path();
  TempFolder scratch;
};

// Speakers on a virtual serial line at port 3, which the settings name as the saved port.
class SimulatedSetup {
 public:
  static constexpr std::int16_t kBusPort = 3;

  SimulatedSetup() : line(bus, kBusPort) { store.stored = std::to_string(kBusPort); }
  SimulatedSetup(const SimulatedSetup&) = delete;
  SimulatedSetup& operator=(const SimulatedSetup&) = delete;

  // A speaker in Boot mode with boot loader, application and FPGA software.
  static sim::SpeakerConfig CompleteSpeaker(std::uint8_t type, std::uint32_t serial) {
    sim::SpeakerConfig config;
    config.serial = serial;
    config.type = type;
    config.software = {{1, 1, 0}, {type, 1, 23}, {0, 1, 0}};
    return config;
  }
  void AddSpeaker(std::uint8_t type, std::uint32_t serial) {
    bus.AddSpeaker(CompleteSpeaker(type, serial));
  }
  EngineServices Services() { return EngineServices{line, line, store, prompts}; }

  sim::SpeakerBus bus;
  sim::VirtualLine line;
  MemoryStore store;
  ScriptedPrompts prompts;
};

}  // namespace flashdesk::testing_support
