#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/CpuTime.h"
#include "engine/SpeakerNetwork.h"
#include "sim/SimulatedSpeaker.h"
#include "sim/SpeakerBus.h"
#include "sim/posix/PtyBus.h"
#include "testing/EngineRig.h"

namespace flashdesk::bench {

// The engine on the real serial code, talking to simulated speakers on a pseudo-terminal
// linked as port 3, with port 3 saved.
class EnginePtyRig {
 public:
  explicit EnginePtyRig(int speakerCount) : pty(bus, (folder.path / "COM3").string()) {
    for (int i = 0; i < speakerCount; ++i) {
      sim::SpeakerConfig speaker;
      speaker.serial = 7000 + static_cast<std::uint32_t>(i);
      speaker.type = 4;
      speaker.software = {{0, 1, 0}, {1, 1, 5}, {4, 1, 0}};
      bus.AddSpeaker(speaker);
    }
    setenv("FLASHDESK_PORT_TEMPLATE", (folder.path / "COM%i").string().c_str(), 1);
    store.stored = "3";
  }
  bool Start() {
    std::string error;
    if (pty.Start(error))
      return true;
    std::fprintf(stderr, "cannot start the simulated bus: %s\n", error.c_str());
    return false;
  }
  // Reply delay of the last speaker after a request.
  std::int64_t LastReplyMs() const {
    return sim::SimulatedSpeaker::kFirstReplyDelayMs +
           sim::SimulatedSpeaker::kReplyStaggerMs * (bus.SpeakerCount() - 1);
  }

  testing_support::TempFolder folder;
  sim::SpeakerBus bus;
  sim::PtyBus pty;
  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
  SpeakerNetwork engine{{platform::SystemSerialApi(), platform::SystemClock(), store, prompts}};
};

// Wall and CPU time of one call on this thread.
struct Measured {
  double wallMs = 0;
  double threadCpuMs = 0;
  double processCpuMs = 0;
};

template <typename Work>
Measured Measure(Work work) {
  const double wall = WallSeconds();
  const double thread = CpuSeconds(RUSAGE_THREAD);
  const double process = CpuSeconds(RUSAGE_SELF);
  work();
  return {(WallSeconds() - wall) * 1000, (CpuSeconds(RUSAGE_THREAD) - thread) * 1000,
          (CpuSeconds(RUSAGE_SELF) - process) * 1000};
}

}  // namespace flashdesk::bench
