#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimulatedSpeaker.h"
#include "sim/SpeakerConfig.h"

namespace flashdesk::sim {

// A frame the bus received from the PC, with its time and decoded fields.
struct RecordedFrame {
  std::int64_t timeMs = 0;          // when its end byte arrived
  std::vector<std::uint8_t> bytes;  // the whole frame, F0 … F7
  std::uint8_t destination = 0;
  std::uint8_t command = 0;
  std::vector<std::uint8_t> payload;
  bool checksumOk = false;
  std::int32_t sequence = -1;  // data blocks only
};

// The speakers' side of the bus, independent of any transport: bytes written by the PC go
// into Receive, the speakers' answers come out of TakeOutput at the times they are due. Every
// reply is one chunk that is never interleaved with another, so frames of different speakers
// never mix. Times are milliseconds on the caller's clock and must not run backwards.
// Thread-safe: a transport thread and a test may use it at once.
class SpeakerBus {
 public:
  // Longest frame the bus assembles; longer runs are dropped as line noise.
  static constexpr std::size_t kLongestCommand = 1030;

  // Adds a speaker at the next position and returns that position.
  int AddSpeaker(const SpeakerConfig& config);
  int SpeakerCount() const;
  SpeakerState Speaker(int position) const;

  void Receive(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs);
  // Time of the earliest byte waiting to be sent (possibly already due), if any.
  std::optional<std::int64_t> NextOutputTime(std::int64_t nowMs);
  // Appends the bytes due at or before nowMs.
  void TakeOutput(std::int64_t nowMs, std::vector<std::uint8_t>& out);
  std::vector<RecordedFrame> Frames() const;

  // Raw bytes on the line at atMs, for noise that forms no frame.
  void SendRaw(std::int64_t atMs, std::vector<std::uint8_t> bytes);
  // Raw bytes delayMs after each of the next `times` frames with this command code.
  void SendRawAfter(std::uint8_t command, std::int32_t delayMs, std::vector<std::uint8_t> bytes,
                    int times = 1);
  // The line goes dead: nothing more is heard or sent. The pty front end closes its side.
  void Vanish();
  bool Vanished() const;

  // Receives a line for each frame heard and each reply scheduled; called with the bus locked,
  // so it must not call back into the bus.
  void SetObserver(std::function<void(const std::string&)> observer);

 private:
  struct RawTrigger {
    std::uint8_t command;
    std::int32_t delayMs;
    std::vector<std::uint8_t> bytes;
    int timesLeft;
  };

  void AssembleByte(std::uint8_t byte, std::int64_t nowMs);
  void HandleFrame(std::int64_t nowMs);
  void SchedulePeriodicOutput(std::int64_t untilMs);
  void Observe(const std::string& line) const;

  mutable std::mutex mutex;
  std::vector<SimulatedSpeaker> speakers;
  // Output chunks by due time; chunks due at the same time keep their order.
  std::multimap<std::int64_t, std::vector<std::uint8_t>> output;
  std::vector<std::int64_t> periodicUntilMs;  // per speaker: unasked output scheduled up to here
  std::vector<RecordedFrame> frames;
  std::vector<RawTrigger> triggers;
  std::vector<std::uint8_t> assembling;
  bool inFrame = false;
  bool vanished = false;
  std::function<void(const std::string&)> observer;
};

}  // namespace flashdesk::sim
