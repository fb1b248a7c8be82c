#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "protocol/Protocol.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk::testing_support {

// An engine on a simulated bus in virtual time: the bus answers at port busPort, the settings
// start with savedPort as their stored text (none when empty).
class VirtualRig {
 public:
  explicit VirtualRig(std::int16_t busPort = 3,
                      std::optional<std::string> savedPort = std::string("3"))
      : line(bus, busPort) {
    store.stored = std::move(savedPort);
  }

  // A speaker in Boot mode with FPGA software, boot loader, application and test software.
  static sim::SpeakerConfig CompleteSpeaker(std::uint32_t serial, std::uint8_t type = 4) {
    sim::SpeakerConfig config;
    config.serial = serial;
    config.type = type;
    config.software = {{kKindFpga, 1, 0}, {kKindBoot, 1, 5}, {type, 2, 10}, {kKindTest, 1, 1}};
    return config;
  }

  std::vector<sim::RecordedFrame> Sent(std::uint8_t command) const {
    std::vector<sim::RecordedFrame> matching;
    for (const sim::RecordedFrame& frame : bus.Frames()) {
      if (frame.command == command)
        matching.push_back(frame);
    }
    return matching;
  }

  std::vector<std::uint32_t> TableSerials() const {
    std::vector<std::uint32_t> serials;
    for (int i = 0; i < engine.SpeakerCount(); ++i) {
      serials.push_back(engine.Speaker(i).SerialNumber());
    }
    return serials;
  }

  sim::SpeakerBus bus;
  sim::VirtualLine line;
  MemoryStore store;
  ScriptedPrompts prompts;
  SpeakerNetwork engine{{line, line, store, prompts}};
};

}  // namespace flashdesk::testing_support
