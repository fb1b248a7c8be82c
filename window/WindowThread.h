#pragma once

#include <thread>

namespace flashdesk::window {

// The thread that made the window model, which alone may change it. Builds with
// FLASHDESK_THREAD_CHECKS (every build with tests) stop at once when another thread calls an
// operation that expects it; other builds check nothing.
class WindowThread {
 public:
  void Expect(const char* operation) const;

 private:
  std::thread::id id = std::this_thread::get_id();
};

}  // namespace flashdesk::window
