#pragma once

#include <cstdint>

namespace flashdesk::platform {

// The millisecond clock and the sleep of the engine, injectable so that tests run in virtual
// time. Any thread may call it.
class Clock {
 public:
  virtual ~Clock() = default;
  // Wrapping 32-bit millisecond tick; only differences carry meaning.
  virtual std::int32_t TickMs() = 0;
  virtual void SleepMs(std::int32_t milliseconds) = 0;
};

// The monotonic clock for TickMs (unaffected by changes of the time of day), a real sleep
// for SleepMs.
Clock& SystemClock();

}  // namespace flashdesk::platform
