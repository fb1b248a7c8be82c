#include "cli/FrameTrace.h"

#include <cstdio>
#include <string>

#include "protocol/Protocol.h"
#include "transport/TickMs.h"

namespace flashdesk::cli {

FrameTrace::FrameTrace(platform::SerialApi& port, platform::Clock& clock, std::ostream& output)
    : port(port), clock(clock), output(output), startMs(clock.TickMs()) {}

FrameTrace::~FrameTrace() {
  FlushReceived();
}

void FrameTrace::Line(const char* direction, const std::uint8_t* bytes, std::size_t count) {
  char head[32];
  std::snprintf(head, sizeof head, "%8d ms  %s ", ElapsedMs(startMs, clock.TickMs()), direction);
  std::string text = head;
  for (std::size_t i = 0; i < count; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    text += hex;
  }
  output << text << '\n' << std::flush;
}

void FrameTrace::FlushReceived() {
  if (!received.empty())
    Line("rx", received.data(), received.size());
  received.clear();
}

std::string FrameTrace::PortPath(std::int16_t number) {
  return port.PortPath(number);
}

platform::SerialFailure FrameTrace::Open(const std::string& path,
                                         const platform::LineSettings& line,
                                         platform::DeviceHandle& handle) {
  return port.Open(path, line, handle);
}

platform::SerialFailure FrameTrace::Read(platform::DeviceHandle handle, std::uint8_t* destination,
                                         std::uint32_t count, platform::ReadTimeouts timeouts,
                                         std::uint32_t& got) {
  const platform::SerialFailure failure = port.Read(handle, destination, count, timeouts, got);
  if (got == 0)
    FlushReceived();
  for (std::uint32_t i = 0; i < got; ++i) {
    if (destination[i] == kFrameStart)
      FlushReceived();
    received.push_back(destination[i]);
    if (destination[i] == kFrameEnd)
      FlushReceived();
  }
  return failure;
}

platform::SerialFailure FrameTrace::Write(platform::DeviceHandle handle, const std::uint8_t* bytes,
                                          std::uint32_t count, std::uint32_t& written) {
  FlushReceived();
  const platform::SerialFailure failure = port.Write(handle, bytes, count, written);
  Line("tx", bytes, written);
  return failure;
}

platform::SerialFailure FrameTrace::Drain(platform::DeviceHandle handle) {
  return port.Drain(handle);
}

platform::SerialFailure FrameTrace::Discard(platform::DeviceHandle handle,
                                            platform::Queues queues) {
  return port.Discard(handle, queues);
}

platform::SerialFailure FrameTrace::SetDtr(platform::DeviceHandle handle, bool raised) {
  return port.SetDtr(handle, raised);
}

platform::SerialFailure FrameTrace::QueuedOutput(platform::DeviceHandle handle,
                                                 std::uint32_t& queued,
                                                 platform::LineErrors& errors) {
  return port.QueuedOutput(handle, queued, errors);
}

platform::SerialFailure FrameTrace::TakeLineErrors(platform::DeviceHandle handle,
                                                   platform::LineErrors& errors) {
  return port.TakeLineErrors(handle, errors);
}

platform::SerialFailure FrameTrace::Close(platform::DeviceHandle handle) {
  FlushReceived();
  return port.Close(handle);
}

}  // namespace flashdesk::cli
