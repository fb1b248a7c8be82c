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

// A serial device that records every call ("SetDtr 1; Discard both") and answers from
// a script, so tests can check the exact order and values of the calls made on it.
class RecordingSerialApi : public platform::SerialApi {
 public:
  using Handle = platform::DeviceHandle;
  using Failure = platform::SerialFailure;
  using U = std::uint32_t;
  static constexpr int kSilence = -1;  // a read that times out

  // Script.
  platform::DeviceHandle openResult = 7;
  std::set<std::string> failingCalls;  // call names that fail with failure
  platform::SerialError failure{platform::SerialProblem::kOther, 5, "scripted", ""};
  std::deque<int> incoming;               // bytes for Read, or kSilence; empty means silent
  std::deque<std::uint32_t> queueCounts;  // output-queue readings; empty means 0
  std::deque<std::uint32_t> errorFlags;   // line errors per query; empty means 0
  std::uint32_t acceptedPerWrite = 0xFFFFFFFF;

  // Record.
  std::string calls;  // "Open COM3 19200 8N1 none; SetDtr 1; ..."
  std::vector<std::uint8_t> written;

  std::string PortPath(std::int16_t port) override { return "COM" + std::to_string(port); }
  Failure Open(const std::string& path, const platform::LineSettings& l, Handle& handle) override {
    const char* parity[] = {"N", "O", "E"};
    const char* flow[] = {"none", "hardware", "software"};
    Failure failed = Record("Open " + path + " " + std::to_string(l.baudRate) + " " +
                            std::to_string(l.dataBits) + parity[static_cast<int>(l.parity)] +
                            (l.stopBits == platform::StopBits::kOne ? "1 " : "2 ") +
                            flow[static_cast<int>(l.flowControl)]);
    handle = failed ? platform::kInvalidHandle : openResult;
    return failed;
  }
  Failure Read(Handle, std::uint8_t* destination, U count, platform::ReadTimeouts t,
               U& got) override {  // a byte at a time
    got = 0;
    Failure failed = Record("Read", {count, t.firstByteMs, t.totalMs});
    if (const int next = Next(incoming, kSilence); !failed && next != kSilence)
      destination[got++] = static_cast<std::uint8_t>(next);
    return failed;
  }
  Failure Write(Handle, const std::uint8_t* bytes, U count, U& done) override {
    Failure failed = Record("Write", {count});
    done = failed ? 0 : std::min(count, acceptedPerWrite);
    written.insert(written.end(), bytes, bytes + done);
    return failed;
  }
  Failure Drain(Handle) override { return Record("Drain"); }
  Failure Discard(Handle, platform::Queues queues) override {
    const char* names[] = {"input", "output", "both"};
    return Record(std::string("Discard ") + names[static_cast<int>(queues)]);
  }
  Failure SetDtr(Handle, bool raised) override { return Record("SetDtr", {raised ? 1u : 0u}); }
  Failure QueuedOutput(Handle, U& queued, platform::LineErrors& flags) override {
    flags = Next(errorFlags, 0u);
    queued = Next(queueCounts, 0u);
    return Record("QueuedOutput");
  }
  Failure TakeLineErrors(Handle, platform::LineErrors& flags) override {
    flags = Next(errorFlags, 0u);
    return Record("TakeLineErrors");
  }
  Failure Close(Handle) override { return Record("Close"); }

 private:
  // Records the call with its numbers; the scripted failure when the script makes it fail.
  Failure Record(std::string call, std::initializer_list<U> numbers = {}) {
    for (const U number : numbers)
      call += " " + std::to_string(number);
    calls += (calls.empty() ? "" : "; ") + call;
    const std::string name = call.substr(0, call.find(' '));
    if (failingCalls.count(name) == 0)
      return {};
    platform::SerialError error = failure;
    error.call = name;
    return error;
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
