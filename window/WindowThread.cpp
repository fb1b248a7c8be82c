#include "window/WindowThread.h"

#include <cstdio>
#include <cstdlib>

namespace flashdesk::window {

#ifdef FLASHDESK_THREAD_CHECKS
void WindowThread::Expect(const char* operation) const {
  if (std::this_thread::get_id() == id)
    return;
  std::fprintf(stderr, "%s called off the window's thread\n", operation);
  std::abort();
}
#else
void WindowThread::Expect(const char*) const {}
#endif

}  // namespace flashdesk::window
