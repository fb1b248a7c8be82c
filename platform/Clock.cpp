#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace flashdesk::platform {
namespace {

class SteadyClock : public Clock {
 public:
  std::int32_t TickMs() override {
    // Monotonic: a step of the time of day must neither end a window nor stretch it.
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    // Wraps in 32 bits on purpose: only differences of ticks are used.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(milliseconds));
  }

  void SleepMs(std::int32_t milliseconds) override {
    if (milliseconds > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  }
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace flashdesk::platform
