#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/posix/UniqueFd.h"
#include "sim/SpeakerBus.h"

namespace flashdesk::sim {

// Runs a SpeakerBus on the master side of a pseudo-terminal in a background thread, in real
// time, and links the slave at a chosen path, so the program's real serial code opens it like
// a port (FLASHDESK_PORT_TEMPLATE=DIR/COM%i finds DIR/COM3 as port 3). The slave is raw, so
// bytes pass unchanged. What the speakers send while nobody has the port open is dropped once
// the terminal's input queue is full. Start, Stop and Vanish belong to one controlling thread.
class PtyBus {
 public:
  PtyBus(SpeakerBus& bus, std::string linkPath);
  PtyBus(const PtyBus&) = delete;
  PtyBus& operator=(const PtyBus&) = delete;
  ~PtyBus();

  // Opens the pseudo-terminal, links it (replacing an old link, never any other file) and
  // starts serving; false with a reason when any step fails, leaving nothing behind.
  bool Start(std::string& error);
  // Stops the thread, closes the terminal and removes the link. Safe to call twice.
  void Stop();
  // The speakers' side goes away as an unplugged adapter would: the terminal is closed and
  // reads on the port fail. The link stays until Stop. Also happens when the bus vanishes.
  void Vanish();

  bool HasVanished() const { return vanished.load(); }
  const std::string& SlavePath() const { return slavePath; }
  const std::string& LinkPath() const { return linkPath; }
  // Milliseconds since Start on the clock the bus sees.
  std::int64_t NowMs() const;

 private:
  // Start's steps; each false with a reason.
  bool OpenTerminal(std::string& error);
  bool MakeWakePipe(std::string& error);
  bool LinkSlave(std::string& error);
  void Serve();
  void CloseTerminal();

  SpeakerBus& bus;
  const std::string linkPath;
  std::string slavePath;
  platform::UniqueFd master{-1};
  platform::UniqueFd heldSlave{-1};  // keeps the terminal alive while no client has it open
  platform::UniqueFd wakeRead{-1};
  platform::UniqueFd wakeWrite{-1};
  bool linked = false;
  std::mutex terminalMutex;  // master and heldSlave: the thread writes, Vanish closes
  std::atomic<bool> stopping{false};
  std::atomic<bool> vanished{false};
  std::chrono::steady_clock::time_point started;
  std::thread thread;
};

}  // namespace flashdesk::sim
