#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/Clock.h"
#include "platform/SerialApi.h"

namespace flashdesk::cli {

// A serial port that writes a timed hex line for every frame sent and received:
// "    1234 ms  tx  F0 7F 01 7F F7" (milliseconds since the trace began). Received bytes are
// cut into frames at each end byte, before a start byte and when a read hears nothing, so
// noise shows as its own line. Hands every call on to the port underneath, whose template
// must be set before.
class FrameTrace : public platform::SerialApi {
 public:
  FrameTrace(platform::SerialApi& port, platform::Clock& clock, std::ostream& output);
  ~FrameTrace() override;

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
  void Line(const char* direction, const std::uint8_t* bytes, std::size_t count);
  void FlushReceived();

  platform::SerialApi& port;
  platform::Clock& clock;
  std::ostream& output;
  std::int32_t startMs;
  std::vector<std::uint8_t> received;
};

}  // namespace flashdesk::cli
