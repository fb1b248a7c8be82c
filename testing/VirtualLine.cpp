#include "testing/VirtualLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace flashdesk::sim {

namespace {

constexpr const char* kPathPrefix = "virtual:";

// What the POSIX seam would report for code.
platform::SerialFailure Failure(platform::SerialProblem problem, int code, const char* call) {
  return platform::SerialError{problem, code, std::generic_category().message(code), call};
}

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

void VirtualLine::AddForbiddenPort(std::int16_t port) {
  std::lock_guard<std::mutex> hold(mutex);
  forbiddenPorts.push_back(port);
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

VirtualLine::OpenPort* VirtualLine::Find(platform::DeviceHandle handle,
                                         platform::SerialFailure& failure) {
  const auto found = openPorts.find(handle);
  if (found == openPorts.end()) {
    failure = Failure(platform::SerialProblem::kOther, EBADF, "handle");
    return nullptr;
  }
  return &found->second;
}

std::string VirtualLine::PortPath(std::int16_t port) {
  return kPathPrefix + std::to_string(port);
}

platform::SerialFailure VirtualLine::Open(const std::string& path, const platform::LineSettings&,
                                          platform::DeviceHandle& handle) {
  std::lock_guard<std::mutex> hold(mutex);
  handle = platform::kInvalidHandle;
  const std::int16_t port = PortOfPath(path);
  openAttempts.push_back(port);
  if (std::find(forbiddenPorts.begin(), forbiddenPorts.end(), port) != forbiddenPorts.end())
    return Failure(platform::SerialProblem::kPermission, EACCES, "open");
  const bool exists =
      port >= 0 && (port == busPort ||
                    std::find(silentPorts.begin(), silentPorts.end(), port) != silentPorts.end());
  if (!exists) {
    return Failure(platform::SerialProblem::kMissing, ENOENT, "open");
  }
  for (const auto& [other, open] : openPorts) {
    if (open.port == port) {
      return Failure(platform::SerialProblem::kInUse, EBUSY, "flock");
    }
  }
  if (port == busPort) {
    // What the speakers sent while nobody listened is gone.
    CollectDue();
    input.clear();
  }
  handle = nextHandle++;
  openPorts[handle].port = port;
  return {};
}

template <typename Action>
platform::SerialFailure VirtualLine::OnPort(platform::DeviceHandle handle, Action action) {
  std::lock_guard<std::mutex> hold(mutex);
  platform::SerialFailure failure;
  if (OpenPort* open = Find(handle, failure)) {
    action(*open);
  }
  return failure;
}

platform::SerialFailure VirtualLine::SetDtr(platform::DeviceHandle handle, bool) {
  return OnPort(handle, [](OpenPort&) {});
}

platform::SerialFailure VirtualLine::Discard(platform::DeviceHandle handle,
                                             platform::Queues queues) {
  return OnPort(handle, [&](OpenPort& open) {
    if (IsBusPort(open) && queues != platform::Queues::kOutput) {
      CollectDue();
      input.clear();
    }
  });
}

platform::SerialFailure VirtualLine::Read(platform::DeviceHandle handle, std::uint8_t* destination,
                                          std::uint32_t count, platform::ReadTimeouts timeouts,
                                          std::uint32_t& got) {
  std::lock_guard<std::mutex> hold(mutex);
  got = 0;
  platform::SerialFailure failure;
  OpenPort* open = Find(handle, failure);
  if (open == nullptr) {
    return failure;
  }
  // Bytes after the first are those already due: they come back to back from the bus.
  const std::int64_t timeoutMs = std::min(timeouts.firstByteMs, timeouts.totalMs);
  const bool busLine = IsBusPort(*open);
  if (busLine && bus.Vanished()) {
    // A dead line fails every read, but the caller's windows must still run out.
    AdvanceMicros(timeoutMs * 1000);
    return Failure(platform::SerialProblem::kVanished, EIO, "read");
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
    return {};
  }
  while (got < count && !input.empty()) {
    destination[got++] = input.front();
    input.pop_front();
  }
  return {};
}

platform::SerialFailure VirtualLine::Write(platform::DeviceHandle handle, const std::uint8_t* bytes,
                                           std::uint32_t count, std::uint32_t& written) {
  std::lock_guard<std::mutex> hold(mutex);
  written = 0;
  platform::SerialFailure failure;
  OpenPort* open = Find(handle, failure);
  if (open == nullptr) {
    return failure;
  }
  if (IsBusPort(*open)) {
    if (bus.Vanished()) {
      return Failure(platform::SerialProblem::kVanished, EIO, "write");
    }
    bus.Receive(bytes, count, NowMs());
  }
  written = count;
  return {};
}

platform::SerialFailure VirtualLine::Drain(platform::DeviceHandle handle) {
  return OnPort(handle, [](OpenPort&) {});
}

platform::SerialFailure VirtualLine::QueuedOutput(platform::DeviceHandle handle,
                                                  std::uint32_t& queued,
                                                  platform::LineErrors& errors) {
  queued = 0;
  errors = 0;
  return OnPort(handle, [](OpenPort&) {});
}

platform::SerialFailure VirtualLine::TakeLineErrors(platform::DeviceHandle handle,
                                                    platform::LineErrors& errors) {
  errors = 0;
  return OnPort(handle, [](OpenPort&) {});
}

platform::SerialFailure VirtualLine::Close(platform::DeviceHandle handle) {
  std::lock_guard<std::mutex> hold(mutex);
  platform::SerialFailure failure;
  OpenPort* open = Find(handle, failure);
  if (open == nullptr) {
    return failure;
  }
  if (IsBusPort(*open)) {
    input.clear();
  }
  openPorts.erase(handle);
  return {};
}

}  // namespace flashdesk::sim
