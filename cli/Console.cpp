#include "cli/Console.h"

namespace flashdesk::cli {
namespace {

std::atomic<SpeakerNetwork*> interruptTarget{nullptr};
static_assert(std::atomic<SpeakerNetwork*>::is_always_lock_free, "read in a signal handler");

}  // namespace

void WatchInterrupt(SpeakerNetwork* engine) {
  interruptTarget.store(engine);
  CatchInterrupts(engine != nullptr);
}

bool StopUploadOnInterrupt() {
  SpeakerNetwork* target = interruptTarget.load();
  if (target == nullptr || target->AbortRequested())
    return false;
  target->RequestAbort();
  return true;
}

}  // namespace flashdesk::cli
