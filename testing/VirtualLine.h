#pragma once

#include <atomic>
#include <cerrno>
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

  // SerialApi.
  std::string PortPath(std::int16_t port) override;
  platform::DeviceHandle Open(const std::string& path) override;
  bool SetupQueues(platform::DeviceHandle handle, std::uint32_t inputSize,
                   std::uint32_t outputSize) override;
  bool GetTimeouts(platform::DeviceHandle handle, platform::Timeouts& timeouts) override;
  bool SetTimeouts(platform::DeviceHandle handle, const platform::Timeouts& timeouts) override;
  bool GetLineSettings(platform::DeviceHandle handle, platform::LineSettings& settings) override;
  bool SetLineSettings(platform::DeviceHandle handle,
                       const platform::LineSettings& settings) override;
  bool SetDtr(platform::DeviceHandle handle, bool raised) override;
  bool SetEventMask(platform::DeviceHandle handle, std::uint32_t mask) override;
  bool Purge(platform::DeviceHandle handle, std::uint32_t flags) override;
  bool Read(platform::DeviceHandle handle, std::uint8_t* destination, std::uint32_t count,
            std::uint32_t& got) override;
  bool Write(platform::DeviceHandle handle, const std::uint8_t* bytes, std::uint32_t count,
             std::uint32_t& written) override;
  bool Drain(platform::DeviceHandle handle) override;
  bool ClearErrors(platform::DeviceHandle handle, std::uint32_t& errorFlags,
                   std::uint32_t* outputQueue) override;
  bool Close(platform::DeviceHandle handle) override;
  std::int32_t LastError() override;
  // Its codes are errno values on every platform.
  bool IsPortInUse(std::int32_t code) override { return code == EBUSY; }
  bool IsDeviceGone(std::int32_t code) override { return code == EIO; }

 private:
  struct OpenPort {
    std::int16_t port = -1;
    platform::Timeouts timeouts;
    platform::LineSettings settings;
  };

  // The open port behind handle, or null.
  OpenPort* Find(platform::DeviceHandle handle);
  // Runs action on the open port behind handle under the lock; false when there is none.
  template <typename Action>
  bool OnPort(platform::DeviceHandle handle, Action action);
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
  std::map<platform::DeviceHandle, OpenPort> openPorts;
  platform::DeviceHandle nextHandle = 100;
  std::deque<std::uint8_t> input;  // arrived at the bus port and not yet read
  std::vector<std::int16_t> openAttempts;
  std::int32_t lastError = 0;
};

}  // namespace flashdesk::sim
