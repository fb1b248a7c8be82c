#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/SerialApi.h"
#include "sim/SpeakerBus.h"

namespace flashdesk::sim {

// A serial line and a clock in virtual time over a SpeakerBus, for fast deterministic tests of
// everything above the platform layer. Time moves only when the engine waits: SleepMs advances
// it, a read that finds no byte advances to the next byte due within its time-out (or by the
// whole time-out). Writes hand their bytes to the bus at the current time and cost no time.
// Port N has the path "virtual:N". Only the bus port and the configured silent ports open;
// every other port fails to open, as a missing device does. Thread-safe: a GUI thread may
// read the clock while a worker uses the line.
class VirtualLine : public platform::SerialApi, public platform::Clock {
 public:
  // startTickMs is what TickMs returns at virtual time 0; pick a value near the 32-bit limit
  // to run a test across the tick's wrap.
  VirtualLine(SpeakerBus& bus, std::int16_t busPort, std::int32_t startTickMs = 1000000);

  // A port that opens but on which nothing ever answers.
  void AddSilentPort(std::int16_t port);
  // A port that exists but that this user may not open (EACCES).
  void AddForbiddenPort(std::int16_t port);

  // Virtual milliseconds since construction; the bus sees this time.
  std::int64_t NowMs() const;
  // Every Open attempt in order, by port number (-1 for a path that names no port).
  std::vector<std::int16_t> OpenAttempts() const;
  // How many handles on the bus port are open now (another program's included).
  int BusPortOpens() const;
  bool BusPortOpen() const { return BusPortOpens() > 0; }

  // Clock.
  std::int32_t TickMs() override;
  void SleepMs(std::int32_t milliseconds) override;

  // SerialApi. Its error codes are errno values on every platform.
  std::string PortPath(std::int16_t port) override;
  platform::SerialFailure Open(const std::string& path, const platform::LineSettings& line,
                               platform::DeviceHandle& handle) override;
  platform::SerialFailure Read(platform::DeviceHandle handle, std::uint8_t* destination,
                               std::uint32_t count, platform::ReadTimeouts timeouts,
                               std::uint32_t& got) override;
  platform::SerialFailure Write(platform::DeviceHandle handle, const std::uint8_t* bytes,
                                std::uint32_t count, std::uint32_t& written) override;
  platform::SerialFailure Drain(platform::DeviceHandle handle) override;
  platform::SerialFailure Discard(platform::DeviceHandle handle, platform::Queues queues) override;
  platform::SerialFailure SetDtr(platform::DeviceHandle handle, bool raised) override;
  platform::SerialFailure QueuedOutput(platform::DeviceHandle handle, std::uint32_t& queued,
                                       platform::LineErrors& errors) override;
  platform::SerialFailure TakeLineErrors(platform::DeviceHandle handle,
                                         platform::LineErrors& errors) override;
  platform::SerialFailure Close(platform::DeviceHandle handle) override;

 private:
  struct OpenPort {
    std::int16_t port = -1;
  };

  // The open port behind handle, or null with failure set.
  OpenPort* Find(platform::DeviceHandle handle, platform::SerialFailure& failure);
  // Runs action on the open port behind handle under the lock; the failure when there is none.
  template <typename Action>
  platform::SerialFailure OnPort(platform::DeviceHandle handle, Action action);
  bool IsBusPort(const OpenPort& open) const { return open.port == busPort; }
  void AdvanceMicros(std::int64_t micros);
  // Moves the bus's output that is due by now into the port's input queue.
  void CollectDue();

  SpeakerBus& bus;
  const std::int16_t busPort;
  const std::int32_t startTickMs;
  mutable std::mutex mutex;
  std::atomic<std::int64_t> nowMicros{0};
  std::vector<std::int16_t> silentPorts;
  std::vector<std::int16_t> forbiddenPorts;
  std::map<platform::DeviceHandle, OpenPort> openPorts;
  platform::DeviceHandle nextHandle = 100;
  std::deque<std::uint8_t> input;  // arrived at the bus port and not yet read
  std::vector<std::int16_t> openAttempts;
};

}  // namespace flashdesk::sim
