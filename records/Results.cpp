#include "records/Results.h"

#include <algorithm>

#include "engine/Outcomes.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"

namespace flashdesk::records {
namespace {

std::optional<std::int32_t> VersionOfKind(const SpeakerRecord& record, std::uint8_t kind) {
  for (const SoftwareEntry& entry : record.entries) {
    if (entry.kind == kind)
      return entry.major * 100 + entry.minor;
  }
  return std::nullopt;
}

void Decide(SpeakerOutcome& outcome, std::uint8_t code) {
  if (code == kReplyDone) {
    outcome.outcome = Outcome::kPassed;
  } else if (code == kReplyTypeError) {
    outcome.outcome = Outcome::kWrongType;
  } else if (IsTransferError(code)) {
    outcome.outcome = Outcome::kFailed;
    outcome.lastCode = code;
    return;
  } else {
    return;  // READY, or a code no speaker should send: decides nothing
  }
  outcome.lastCode.reset();
}

}  // namespace

SoftwareVersions VersionsOf(const SpeakerRecord& record) {
  return {VersionOfKind(record, kKindBoot), VersionOfKind(record, record.type),
          VersionOfKind(record, kKindTest), VersionOfKind(record, kKindFpga)};
}

SpeakerFacts FactsOf(const SpeakerRecord& record) {
  const SpeakerModel* model = FindModel(record.type);
  return {record.SerialNumber(), record.type, model != nullptr ? model->name : "",
          VersionsOf(record)};
}

PortFacts PortOf(const BusSnapshot& bus) {
  if (bus.portPath.empty())
    return {};
  return {bus.portNumber >= 0 ? std::optional<std::int32_t>(bus.portNumber) : std::nullopt,
          bus.portPath};
}

std::vector<TriedPortFacts> TriedPortsOf(const ScanOutcome& scan) {
  std::vector<TriedPortFacts> tried;
  for (const TriedPort& port : scan.portsTried) {
    // The numbered search tries numbers nothing is plugged into; a device the user named
    // and that is not there is worth saying.
    if (port.number >= 0 && port.problem == platform::SerialProblem::kMissing)
      continue;
    std::string problem = port.problem ? platform::ProblemName(*port.problem) : "silent";
    // Words as the system has them, keys as JSON likes them.
    std::replace(problem.begin(), problem.end(), ' ', '_');
    tried.push_back({port.path,
                     port.number >= 0 ? std::optional<std::int32_t>(port.number) : std::nullopt,
                     problem});
  }
  return tried;
}

std::vector<SpeakerFacts> SpeakersOf(const BusSnapshot& bus) {
  std::vector<SpeakerFacts> speakers;
  for (const SpeakerRecord& record : bus.speakers)
    speakers.push_back(FactsOf(record));
  return speakers;
}

std::vector<SpeakerOutcome> OutcomesOf(const std::vector<SpeakerFacts>& speakers,
                                       const std::vector<LogEvent>& events) {
  std::vector<SpeakerOutcome> outcomes;
  for (const SpeakerFacts& speaker : speakers)
    outcomes.push_back({speaker, Outcome::kNoAnswer, std::nullopt, std::nullopt});
  for (const LogEvent& event : events) {
    const auto serial = static_cast<std::uint32_t>(event.serial);
    auto known = std::find_if(outcomes.begin(), outcomes.end(), [serial](const SpeakerOutcome& o) {
      return o.speaker.serial == serial;
    });
    if (known == outcomes.end()) {
      SpeakerFacts unlisted;
      unlisted.serial = serial;
      known = outcomes.insert(outcomes.end(),
                              {unlisted, Outcome::kNoAnswer, std::nullopt, std::nullopt});
    }
    Decide(*known, event.code);
  }
  return outcomes;
}

}  // namespace flashdesk::records
