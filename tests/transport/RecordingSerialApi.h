#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "platform/SerialApi.h"

namespace flashdesk::fakes {

// A serial device that records every call ("SetDtr 1; Purge 15") and answers from
// a script, so tests can check the exact order and values of the calls made on it.
class RecordingSerialApi : public platform::SerialApi {
 public:
  using Handle = platform::DeviceHandle;
  using U = std::uint32_t;
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
  std::string calls;  // "Open COM3; SetupQueues 1 1; ..."
  std::vector<std::uint8_t> written;

  std::string PortPath(std::int16_t port) override { return "COM" + std::to_string(port); }
  Handle Open(const std::string& path) override {
    Record("Open " + path);
    return openResult;
  }
  bool SetupQueues(Handle, U in, U out) override { return Record("SetupQueues", {in, out}); }
  bool GetTimeouts(Handle, platform::Timeouts& t) override {
    t = storedTimeouts;
    return Record("GetTimeouts");
  }
  bool SetTimeouts(Handle, const platform::Timeouts& t) override {
    return Record("SetTimeouts",
                  {t.readIntervalTimeout, t.readTotalTimeoutMultiplier, t.readTotalTimeoutConstant,
                   t.writeTotalTimeoutMultiplier, t.writeTotalTimeoutConstant});
  }
  bool GetLineSettings(Handle, platform::LineSettings& s) override {
    s = storedSettings;
    return Record("GetLineSettings");
  }
  bool SetLineSettings(Handle, const platform::LineSettings& s) override {
    storedSettings = s;
    return Record("SetLineSettings");
  }
  bool SetDtr(Handle, bool raised) override { return Record("SetDtr", {raised ? 1u : 0u}); }
  bool SetEventMask(Handle, U mask) override { return Record("SetEventMask", {mask}); }
  bool Purge(Handle, U flags) override { return Record("Purge", {flags}); }
  bool Read(Handle, std::uint8_t* destination, U count, U& got) override {  // a byte at a time
    got = 0;
    if (!Record("Read", {count}))
      return false;
    if (const int next = Next(incoming, kSilence); next != kSilence)
      destination[got++] = static_cast<std::uint8_t>(next);
    return true;
  }
  bool Write(Handle, const std::uint8_t* bytes, U count, U& done) override {
    const bool sent = Record("Write", {count});
    done = sent ? std::min(count, acceptedPerWrite) : 0;
    written.insert(written.end(), bytes, bytes + done);
    return sent;
  }
  bool Drain(Handle) override { return Record("Drain"); }
  bool ClearErrors(Handle, U& flags, U* queue) override {
    flags = Next(errorFlags, 0u);
    if (queue != nullptr)
      *queue = Next(queueCounts, 0u);
    return Record(queue != nullptr ? "ClearErrors queue" : "ClearErrors");
  }
  bool Close(Handle) override { return Record("Close"); }
  std::int32_t LastError() override { return lastError; }
  bool IsPortInUse(std::int32_t code) override { return code == kInUseCode; }
  bool IsDeviceGone(std::int32_t code) override { return code == kGoneCode; }

 private:
  // Records the call with its numbers; false when the script makes it fail.
  bool Record(std::string call, std::initializer_list<U> numbers = {}) {
    for (const U number : numbers)
      call += " " + std::to_string(number);
    calls += (calls.empty() ? "" : "; ") + call;
    return failingCalls.count(call.substr(0, call.find(' '))) == 0;
  }
  template <typename T>
  static T Next(std::deque<T>& script, T none) {  // the next scripted value, none once used up
    const T value = script.empty() ? none : script.front();
    if (!script.empty())
      script.pop_front();
    return value;
  }
};

}  // namespace flashdesk::fakes
