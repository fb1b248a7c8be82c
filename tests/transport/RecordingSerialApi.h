#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/SerialApi.h"

namespace flashdesk::fakes {

// A serial device that records every call as a line ("SetDtr 1", "Purge 15") and answers from
// a script, so tests can check the exact order and values of the calls made on it.
class RecordingSerialApi : public platform::SerialApi {
 public:
  static constexpr int kSilence = -1;  // a read that times out
  // Codes of LastError that mean a port held by another program and a device gone.
  static constexpr std::int32_t kInUseCode = 16;
  static constexpr std::int32_t kGoneCode = 5;

  // Script.
  platform::DeviceHandle openResult = 7;
  std::set<std::string> failingCalls;     // call names that return false
  std::deque<int> incoming;               // bytes for Read, or kSilence; empty means silent
  std::deque<std::uint32_t> queueCounts;  // output-queue readings; empty means 0
  std::deque<std::uint32_t> errorFlags;   // flags per ClearErrors; empty means 0
  std::uint32_t acceptedPerWrite = 0xFFFFFFFF;
  std::int32_t lastError = 0;
  platform::Timeouts storedTimeouts{99, 99, 99, 99, 99};
  platform::LineSettings storedSettings;

  // Record.
  std::vector<std::string> calls;
  std::vector<std::uint8_t> written;

  std::string PortPath(std::int16_t port) override { return "COM" + std::to_string(port); }

  platform::DeviceHandle Open(const std::string& path) override {
    Record("Open " + path);
    return openResult;
  }
  bool SetupQueues(platform::DeviceHandle, std::uint32_t input, std::uint32_t output) override {
    return Record("SetupQueues " + std::to_string(input) + " " + std::to_string(output));
  }
  bool GetTimeouts(platform::DeviceHandle, platform::Timeouts& timeouts) override {
    timeouts = storedTimeouts;
    return Record("GetTimeouts");
  }
  bool SetTimeouts(platform::DeviceHandle, const platform::Timeouts& timeouts) override {
    storedTimeouts = timeouts;
    return Record("SetTimeouts " + std::to_string(timeouts.readIntervalTimeout) + " " +
                  std::to_string(timeouts.readTotalTimeoutMultiplier) + " " +
                  std::to_string(timeouts.readTotalTimeoutConstant) + " " +
                  std::to_string(timeouts.writeTotalTimeoutMultiplier) + " " +
                  std::to_string(timeouts.writeTotalTimeoutConstant));
  }
  bool GetLineSettings(platform::DeviceHandle, platform::LineSettings& settings) override {
    settings = storedSettings;
    return Record("GetLineSettings");
  }
  bool SetLineSettings(platform::DeviceHandle, const platform::LineSettings& settings) override {
    storedSettings = settings;
    return Record("SetLineSettings");
  }
  bool SetDtr(platform::DeviceHandle, bool raised) override {
    return Record(std::string("SetDtr ") + (raised ? "1" : "0"));
  }
  bool SetEventMask(platform::DeviceHandle, std::uint32_t mask) override {
    return Record("SetEventMask " + std::to_string(mask));
  }
  bool Purge(platform::DeviceHandle, std::uint32_t flags) override {
    return Record("Purge " + std::to_string(flags));
  }
  bool Read(platform::DeviceHandle, std::uint8_t* destination, std::uint32_t count,
            std::uint32_t& got) override {
    got = 0;
    if (!Record("Read " + std::to_string(count))) {
      return false;
    }
    while (got < count && !incoming.empty() && incoming.front() != kSilence) {
      destination[got++] = static_cast<std::uint8_t>(incoming.front());
      incoming.pop_front();
    }
    if (got == 0 && !incoming.empty()) {
      incoming.pop_front();  // the scripted silence is used up
    }
    return true;
  }
  bool Write(platform::DeviceHandle, const std::uint8_t* bytes, std::uint32_t count,
             std::uint32_t& done) override {
    done = 0;
    if (!Record("Write " + std::to_string(count))) {
      return false;
    }
    done = count < acceptedPerWrite ? count : acceptedPerWrite;
    written.insert(written.end(), bytes, bytes + done);
    return true;
  }
  bool Drain(platform::DeviceHandle) override { return Record("Drain"); }
  bool ClearErrors(platform::DeviceHandle, std::uint32_t& flags,
                   std::uint32_t* outputQueue) override {
    flags = 0;
    if (!Record(outputQueue != nullptr ? "ClearErrors queue" : "ClearErrors")) {
      return false;
    }
    flags = Next(errorFlags);
    if (outputQueue != nullptr) {
      *outputQueue = Next(queueCounts);
    }
    return true;
  }
  bool Close(platform::DeviceHandle) override { return Record("Close"); }
  std::int32_t LastError() override { return lastError; }
  bool IsPortInUse(std::int32_t code) override { return code == kInUseCode; }
  bool IsDeviceGone(std::int32_t code) override { return code == kGoneCode; }

 private:
  // Records the call; false when the script makes it fail.
  bool Record(const std::string& call) {
    calls.push_back(call);
    return failingCalls.count(call.substr(0, call.find(' '))) == 0;
  }

  static std::uint32_t Next(std::deque<std::uint32_t>& script) {
    const std::uint32_t value = script.empty() ? 0 : script.front();
    if (!script.empty()) {
      script.pop_front();
    }
    return value;
  }
};

}  // namespace flashdesk::fakes
