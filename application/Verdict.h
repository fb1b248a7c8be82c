#pragma once

#include <cstdint>
#include <vector>

#include "engine/Outcomes.h"

namespace flashdesk::application {

// How an upload ended for the user, decided once for every front end.
struct UploadVerdict {
  // Every attempt's transfer errors were overcome, every identified speaker and every other
  // that answered ended with DONE or TYPE ERROR, and at least one said DONE.
  bool succeeded = false;
  // The upload ran cleanly and nobody was left unfinished, yet no speaker said DONE: every one
  // refused the image as not its own, or none answered at all.
  bool nobodyTookIt = false;
  // The window's status line.
  const char* status = nullptr;
  // When every attempt ended in transfer errors from the same speakers: those speakers. An
  // error ends the data phase for all, so the others were interrupted by them.
  std::vector<std::uint32_t> culprits;
};

UploadVerdict Judge(const UploadOutcome& outcome);

}  // namespace flashdesk::application
