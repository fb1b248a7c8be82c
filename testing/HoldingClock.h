#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Clock.h"
#include "testing/VirtualLine.h"

namespace flashdesk::testing_support {

// Generous real-time limit for anything a test waits for; virtual-time runs take milliseconds.
constexpr int kPatienceMs = 60000;

// Polls done every millisecond, running pump first each time; false when kPatienceMs passed.
inline bool WaitFor(const std::function<bool()>& done, const std::function<void()>& pump = {}) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (std::chrono::steady_clock::now() < end) {
    if (pump)
      pump();
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// The engine's clock over a virtual line that can hold a worker thread in one pause, so a test
// acts while a scan or an upload surely runs. The hold ends on Release or when `stop` turns
// true; both are polled.
class HoldingClock : public platform::Clock {
 public:
  explicit HoldingClock(sim::VirtualLine& line) : line(line) {}

  // Holds once, in the first pause at which `due` is true.
  void HoldWhen(
      std::function<bool()> due, std::function<bool()> stop = [] { return false; }) {
    std::lock_guard<std::mutex> guard(mutex);
    holdDue = std::move(due);
    holdEnds = std::move(stop);
    released = false;
  }
  void Release() { released = true; }
  bool Holding() const { return holding; }

  std::int32_t TickMs() override { return line.TickMs(); }
  void SleepMs(std::int32_t milliseconds) override {
    if (HoldDue()) {
      for (int waited = 0; !released && !holdEnds() && waited < kPatienceMs; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      holding = false;
    }
    line.SleepMs(milliseconds);
  }

 private:
  bool HoldDue() {
    std::lock_guard<std::mutex> guard(mutex);
    if (!holdDue || !holdDue())
      return false;
    holdDue = nullptr;
    return holding = true;
  }

  sim::VirtualLine& line;
  std::mutex mutex;
  std::function<bool()> holdDue;
  std::function<bool()> holdEnds;
  std::atomic<bool> holding{false};
  std::atomic<bool> released{false};
};

}  // namespace flashdesk::testing_support
