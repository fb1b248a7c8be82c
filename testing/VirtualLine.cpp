#include "testing/VirtualLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace flashdesk::sim {

namespace {

constexpr const char* kPathPrefix = "virtual:";
// A read with no time-outs set would wait for ever on a silent line; in virtual time it waits
// as long as the bus's one-byte read does.
constexpr std::int64_t kReadWithoutTimeoutMs = 20;

// The port number in "virtual:N", or -1.
std::int16_t PortOfPath(const std::string& path) {
  const std::string prefix = kPathPrefix;
  if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size() ||
      path.size() > prefix.size() + 5) {
    return -1;
  }
  const std::string digits = path.substr(prefix.size());
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return -1;
  }
  const long port = std::strtol(digits.c_str(), nullptr, 10);
  return port <= 0x7FFF ? static_cast<std::int16_t>(port) : -1;
}

}  // namespace

VirtualLine::VirtualLine(SpeakerBus& bus, std::int16_t busPort, std::int32_t startTickMs)
    : bus(bus), busPort(busPort), startTickMs(startTickMs) {}

void VirtualLine::AddSilentPort(std::int16_t port) {
  std::lock_guard<std::mutex> hold(mutex);
  silentPorts.push_back(port);
}

std::int64_t VirtualLine::NowMs() const {
  return nowMicros.load() / 1000;
}

int VirtualLine::BusPortOpens() const {
  std::lock_guard<std::mutex> guard(mutex);
  int opens = 0;
  for (const auto& [handle, open] : openPorts)
    opens += IsBusPort(open);
  return opens;
}

std::vector<std::int16_t> VirtualLine::OpenAttempts() const {
  std::lock_guard<std::mutex> hold(mutex);
  return openAttempts;
}

std::int32_t VirtualLine::TickMs() {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(startTickMs) +
                                   static_cast<std::uint32_t>(NowMs()));
}

void VirtualLine::SleepMs(std::int32_t milliseconds) {
  if (milliseconds > 0) {
    std::lock_guard<std::mutex> hold(mutex);
    AdvanceMicros(std::int64_t{milliseconds} * 1000);
  }
}

void VirtualLine::AdvanceMicros(std::int64_t micros) {
  nowMicros.fetch_add(micros);
}

void VirtualLine::CollectDue() {
  std::vector<std::uint8_t> due;
  bus.TakeOutput(NowMs(), due);
  input.insert(input.end(), due.begin(), due.end());
}

VirtualLine::OpenPort* VirtualLine::Find(platform::DeviceHandle handle) {
  const auto found = openPorts.find(handle);
  if (found == openPorts.end()) {
    lastError = EBADF;
    return nullptr;
  }
  return &found->second;
}

std::string VirtualLine::PortPath(std::int16_t port) {
  return kPathPrefix + std::to_string(port);
}

platform::DeviceHandle VirtualLine::Open(const std::string& path) {
  std::lock_guard<std::mutex> hold(mutex);
  const std::int16_t port = PortOfPath(path);
  openAttempts.push_back(port);
  const bool exists =
      port >= 0 && (port == busPort ||
                    std::find(silentPorts.begin(), silentPorts.end(), port) != silentPorts.end());
  if (!exists) {
    lastError = ENOENT;
    return platform::kInvalidHandle;
  }
  for (const auto& [handle, open] : openPorts) {
    if (open.port == port) {
      lastError = EBUSY;
      return platform::kInvalidHandle;
    }
  }
  if (port == busPort) {
    // What the speakers sent while nobody listened is gone.
    CollectDue();
    input.clear();
  }
  const platform::DeviceHandle handle = nextHandle++;
  openPorts[handle].port = port;
  return handle;
}

template <typename Action>
bool VirtualLine::OnPort(platform::DeviceHandle handle, Action action) {
  std::lock_guard<std::mutex> hold(mutex);
  OpenPort* open = Find(handle);
  if (open == nullptr) {
    return false;
  }
  action(*open);
  return true;
}

bool VirtualLine::SetupQueues(platform::DeviceHandle handle, std::uint32_t, std::uint32_t) {
  return OnPort(handle, [](OpenPort&) {});
}

bool VirtualLine::GetTimeouts(platform::DeviceHandle handle, platform::Timeouts& timeouts) {
  return OnPort(handle, [&](OpenPort& open) { timeouts = open.timeouts; });
}

bool VirtualLine::SetTimeouts(platform::DeviceHandle handle, const platform::Timeouts& timeouts) {
  return OnPort(handle, [&](OpenPort& open) { open.timeouts = timeouts; });
}

bool VirtualLine::GetLineSettings(platform::DeviceHandle handle, platform::LineSettings& settings) {
  return OnPort(handle, [&](OpenPort& open) { settings = open.settings; });
}

bool VirtualLine::SetLineSettings(platform::DeviceHandle handle,
                                  const platform::LineSettings& settings) {
  return OnPort(handle, [&](OpenPort& open) { open.settings = settings; });
}

bool VirtualLine::SetDtr(platform::DeviceHandle handle, bool) {
  return OnPort(handle, [](OpenPort&) {});
}

bool VirtualLine::SetEventMask(platform::DeviceHandle handle, std::uint32_t) {
  return OnPort(handle, [](OpenPort&) {});
}

bool VirtualLine::Purge(platform::DeviceHandle handle, std::uint32_t flags) {
  return OnPort(handle, [&](OpenPort& open) {
    if (IsBusPort(open) && (flags & (platform::kPurgeRxAbort | platform::kPurgeRxClear)) != 0) {
      CollectDue();
      input.clear();
    }
  });
}

bool VirtualLine::Read(platform::DeviceHandle handle, std::uint8_t* destination,
                       std::uint32_t count, std::uint32_t& got) {
  std::lock_guard<std::mutex> hold(mutex);
  got = 0;
  OpenPort* open = Find(handle);
  if (open == nullptr) {
    return false;
  }
  std::int64_t timeoutMs = std::int64_t{open->timeouts.readTotalTimeoutMultiplier} * count +
                           open->timeouts.readTotalTimeoutConstant;
  if (timeoutMs == 0) {
    timeoutMs = kReadWithoutTimeoutMs;
  }
  const bool busLine = IsBusPort(*open);
  if (busLine && bus.Vanished()) {
    // A dead line fails every read, but the caller's windows must still run out.
    AdvanceMicros(timeoutMs * 1000);
    lastError = EIO;
    return false;
  }
  if (busLine) {
    CollectDue();
    if (input.empty()) {
      const std::optional<std::int64_t> next = bus.NextOutputTime(NowMs());
      if (next && *next <= NowMs() + timeoutMs) {
        AdvanceMicros(std::max<std::int64_t>(0, *next * 1000 - nowMicros.load()));
        CollectDue();
      }
    }
  }
  if (input.empty()) {
    AdvanceMicros(timeoutMs * 1000);
    return true;
  }
  while (got < count && !input.empty()) {
    destination[got++] = input.front();
    input.pop_front();
  }
  return true;
}

bool VirtualLine::Write(platform::DeviceHandle handle, const std::uint8_t* bytes,
                        std::uint32_t count, std::uint32_t& written) {
  std::lock_guard<std::mutex> hold(mutex);
  written = 0;
  OpenPort* open = Find(handle);
  if (open == nullptr) {
    return false;
  }
  if (IsBusPort(*open)) {
    if (bus.Vanished()) {
      lastError = EIO;
      return false;
    }
    bus.Receive(bytes, count, NowMs());
  }
  written = count;
  return true;
}

bool VirtualLine::Drain(platform::DeviceHandle handle) {
  return OnPort(handle, [](OpenPort&) {});
}

bool VirtualLine::ClearErrors(platform::DeviceHandle handle, std::uint32_t& errorFlags,
                              std::uint32_t* outputQueue) {
  errorFlags = 0;
  if (outputQueue != nullptr) {
    *outputQueue = 0;
  }
  return OnPort(handle, [](OpenPort&) {});
}

bool VirtualLine::Close(platform::DeviceHandle handle) {
  std::lock_guard<std::mutex> hold(mutex);
  OpenPort* open = Find(handle);
  if (open == nullptr) {
    return false;
  }
  if (IsBusPort(*open)) {
    input.clear();
  }
  openPorts.erase(handle);
  return true;
}

std::int32_t VirtualLine::LastError() {
  std::lock_guard<std::mutex> hold(mutex);
  return lastError;
}

}  // namespace flashdesk::sim
