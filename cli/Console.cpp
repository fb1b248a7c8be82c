#include "cli/Console.h"

namespace flashdesk::cli {
namespace {

std::atomic<application::Session*> interruptTarget{nullptr};
static_assert(std::atomic<application::Session*>::is_always_lock_free, "read in a signal handler");

}  // namespace

void WatchInterrupt(application::Session* session) {
  interruptTarget.store(session);
  CatchInterrupts(session != nullptr);
}

bool StopUploadOnInterrupt() {
  application::Session* target = interruptTarget.load();
  if (target == nullptr || target->AbortRequested())
    return false;
  target->RequestAbort();
  return true;
}

}  // namespace flashdesk::cli
