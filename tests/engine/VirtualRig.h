#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "log/ErrorLog.h"
#include "protocol/Protocol.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk::testing_support {

// Keeps every percentage; onReport runs after each one, on the uploading thread.
class RecordingProgress : public platform::ProgressSink {
 public:
  void ReportProgress(std::int32_t position) override {
    positions.push_back(position);
    if (onReport)
      onReport();
  }
  std::vector<std::int32_t> positions;
  std::function<void()> onReport;
};

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

  // The last upload's events as serial and status code.
  std::vector<std::pair<std::int32_t, int>> Events() const {
    ErrorLog log;
    engine.CopyEvents(log);
    std::vector<std::pair<std::int32_t, int>> events;
    for (const LogEvent& event : log.Events())
      events.emplace_back(event.serial, event.code);
    return events;
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
