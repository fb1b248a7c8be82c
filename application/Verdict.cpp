#include "application/Verdict.h"

#include "log/ErrorLog.h"
#include "records/Results.h"
#include "resources/Strings.h"

namespace flashdesk::application {

UploadVerdict Judge(const UploadOutcome& outcome) {
  ErrorLog log;
  for (const LogEvent& event : outcome.events)
    log.AddEvent(event.serial, event.code);
  // An upload that never got going (no lock, no network, file refused, no answer, stopped)
  // leaves no unfinished speaker in the log, yet nothing was installed.
  const bool clean = outcome.done && !log.HasUnfinishedSpeaker();
  // Identified speakers that never answered count too: the log only knows those that did.
  const std::vector<records::SpeakerOutcome> speakers =
      records::OutcomesOf(records::SpeakersOf(outcome.bus), outcome.events);
  bool anyPassed = false;
  bool everyoneFinished = true;
  for (const records::SpeakerOutcome& speaker : speakers) {
    anyPassed = anyPassed || speaker.outcome == records::Outcome::kPassed;
    everyoneFinished = everyoneFinished && (speaker.outcome == records::Outcome::kPassed ||
                                            speaker.outcome == records::Outcome::kWrongType);
  }
  UploadVerdict verdict;
  verdict.succeeded = clean && everyoneFinished && anyPassed;
  verdict.nobodyTookIt = clean && !anyPassed;
  verdict.status = verdict.succeeded ? strings::kCompleteStatus : strings::kErrorsStatus;
  return verdict;
}

}  // namespace flashdesk::application
