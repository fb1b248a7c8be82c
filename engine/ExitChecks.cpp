#include <string>

#include "engine/SpeakerNetwork.h"
#include "platform/Trace.h"
#include "resources/Strings.h"

namespace flashdesk {

namespace {

template <typename Missing>
std::int32_t CountRecords(const SpeakerRecord* records, std::int32_t count, Missing missing) {
  std::int32_t result = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (missing(records[i]))
      ++result;
  }
  return result;
}

}  // namespace

std::int32_t SpeakerNetwork::CountMissingBoot() const {
  return CountRecords(speakers, speakerCount,
                      [](const SpeakerRecord& record) { return !record.HasKind(kKindBoot); });
}

std::int32_t SpeakerNetwork::CountMissingApplication() const {
  return CountRecords(speakers, speakerCount,
                      [](const SpeakerRecord& record) { return !record.HasKind(record.type); });
}

std::int32_t SpeakerNetwork::CountMissingFpga() const {
  return CountRecords(speakers, speakerCount,
                      [](const SpeakerRecord& record) { return !record.HasKind(kKindFpga); });
}

ExitOutcome SpeakerNetwork::ConfirmExit() {
  // Stops a running upload before its next block; a running scan is waited for.
  RequestAbort();
  const Hold hold(*this, kLockLimitMs);
  abortRequested = false;
  ExitOutcome outcome;
  if (!hold.Held()) {
    platform::Trace("ConfirmExit : engine still busy after " + std::to_string(kLockLimitMs) +
                    " ms\n");
    return outcome;
  }

  IdentifySpeakers();
  outcome.bus = Snapshot();
  if (CountMissingBoot() > 0) {
    services.prompts.ShowMessage(strings::kMissingBootMessage);
    return outcome;
  }
  std::string question;
  if (CountMissingApplication() > 0)
    question += strings::kMissingApplicationLine;
  if (CountMissingFpga() > 0)
    question += strings::kMissingFpgaLine;
  if (!question.empty()) {
    question += strings::kExitQuestionTail;
    if (!services.prompts.AskYesNo(question))
      return outcome;
  }
  SetMode(kApplicationMode);
  port.Close();
  outcome.allowed = true;
  return outcome;
}

}  // namespace flashdesk
