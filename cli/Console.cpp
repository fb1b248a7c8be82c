#include "cli/Console.h"

namespace flashdesk::cli {
namespace {

std::atomic<std::atomic<bool>*> interruptTarget{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "read in a signal handler");

}  // namespace

void WatchInterrupt(std::atomic<bool>* abortFlag) {
  interruptTarget.store(abortFlag);
  CatchInterrupts(abortFlag != nullptr);
}

bool StopUploadOnInterrupt() {
  std::atomic<bool>* target = interruptTarget.load();
  return target != nullptr && !target->exchange(true);
}

}  // namespace flashdesk::cli
