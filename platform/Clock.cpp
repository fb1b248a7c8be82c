#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace flashdesk::platform {
namespace {

class WallClock : public Clock {
 public:
  std::int32_t TickMs() override {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    // Wraps in 32 bits on purpose: only differences of ticks are used.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(milliseconds));
  }

  void SleepMs(std::int32_t milliseconds) override {
    if (milliseconds > 0) {
      // sleep_for measures on the steady clock, so changes of the time of day do not matter.
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  }
};

}  // namespace

Clock& SystemClock() {
  static WallClock clock;
  return clock;
}

}  // namespace flashdesk::platform
