#include "application/Verdict.h"

#include <algorithm>

#include "log/ErrorLog.h"
#include "log/ReplyCode.h"
#include "resources/Strings.h"

namespace flashdesk::application {

UploadVerdict Judge(const UploadOutcome& outcome) {
  ErrorLog log;
  for (const LogEvent& event : outcome.events)
    log.AddEvent(event.serial, event.code);
  // An upload that never got going (no lock, no network, file refused, no answer, stopped)
  // leaves no unfinished speaker in the log, yet nothing was installed.
  const bool clean = outcome.done && !log.HasUnfinishedSpeaker();
  const bool anyDone = std::any_of(outcome.events.begin(), outcome.events.end(),
                                   [](const LogEvent& event) { return event.code == kReplyDone; });
  UploadVerdict verdict;
  verdict.succeeded = clean && anyDone;
  verdict.nobodyTookIt = clean && !anyDone;
  verdict.status = verdict.succeeded ? strings::kCompleteStatus : strings::kErrorsStatus;
  return verdict;
}

}  // namespace flashdesk::application
