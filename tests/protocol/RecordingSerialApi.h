#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/SerialApi.h"

namespace flashdesk::testing {

// A serial device that accepts every call and keeps what was written, for checking the bytes
// a command puts on the line.
class RecordingSerialApi : public platform::SerialApi {
 public:
  std::vector<std::uint8_t> written;

  std::string PortPath(std::int16_t port) override { return "recording:" + std::to_string(port); }
  platform::DeviceHandle Open(const std::string&) override { return 7; }
  bool SetupQueues(platform::DeviceHandle, std::uint32_t, std::uint32_t) override { return true; }
  bool GetTimeouts(platform::DeviceHandle, platform::Timeouts&) override { return true; }
  bool SetTimeouts(platform::DeviceHandle, const platform::Timeouts&) override { return true; }
  bool GetLineSettings(platform::DeviceHandle, platform::LineSettings&) override { return true; }
  bool SetLineSettings(platform::DeviceHandle, const platform::LineSettings&) override {
    return true;
  }
  bool SetDtr(platform::DeviceHandle, bool) override { return true; }
  bool SetEventMask(platform::DeviceHandle, std::uint32_t) override { return true; }
  bool Purge(platform::DeviceHandle, std::uint32_t) override { return true; }
  bool Read(platform::DeviceHandle, std::uint8_t*, std::uint32_t, std::uint32_t& got) override {
    got = 0;
    return true;
  }
  bool Write(platform::DeviceHandle, const std::uint8_t* bytes, std::uint32_t count,
             std::uint32_t& done) override {
    written.insert(written.end(), bytes, bytes + count);
    done = count;
    return true;
  }
  bool Drain(platform::DeviceHandle) override { return true; }
  bool ClearErrors(platform::DeviceHandle, std::uint32_t& errorFlags,
                   std::uint32_t* outputQueue) override {
    errorFlags = 0;
    if (outputQueue != nullptr) {
      *outputQueue = 0;
    }
    return true;
  }
  bool Close(platform::DeviceHandle) override { return true; }
  std::int32_t LastError() override { return 0; }
};

}  // namespace flashdesk::testing
