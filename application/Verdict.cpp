#include "application/Verdict.h"

#include <algorithm>

#include "log/ErrorLog.h"
#include "records/Results.h"
#include "resources/Strings.h"

namespace flashdesk::application {
namespace {

std::vector<std::uint32_t> SerialsOf(const std::vector<LogEvent>& events) {
  std::vector<std::uint32_t> serials;
  for (const LogEvent& event : events)
    serials.push_back(static_cast<std::uint32_t>(event.serial));
  std::sort(serials.begin(), serials.end());
  serials.erase(std::unique(serials.begin(), serials.end()), serials.end());
  return serials;
}

std::vector<std::uint32_t> RepeatCulprits(const UploadOutcome& outcome) {
  if (outcome.done || outcome.stopped || outcome.attemptErrors.empty())
    return {};
  const std::vector<std::uint32_t> first = SerialsOf(outcome.attemptErrors.front());
  for (const std::vector<LogEvent>& errors : outcome.attemptErrors) {
    if (SerialsOf(errors) != first)
      return {};
  }
  return first;
}

}  // namespace

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
  verdict.culprits = RepeatCulprits(outcome);
  return verdict;
}

}  // namespace flashdesk::application
