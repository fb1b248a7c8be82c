#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "engine/SpeakerNetwork.h"
#include "platform/Trace.h"
#include "protocol/Commands.h"
#include "transport/TickMs.h"

namespace flashdesk {

namespace {

constexpr std::int32_t kPingWindowMs = 200;
constexpr std::int32_t kIdentifyWindowMs = 300;
constexpr int kIdentifyPasses = 5;
// Each accepted reply restarts the window, so a full bus whose 18 speakers each answer just
// before it closes needs 18 x 300 + 300 = 5700 ms; a pass that runs longer has a speaker that
// does not stop talking.
constexpr std::int32_t kIdentifyPassLimitMs = 6000;
// A speaker answers a request once (a faulty one twice); four replies for each place in the
// table are more than a sound bus sends.
constexpr int kIdentifyPassReplyLimit = 4 * SpeakerNetwork::kMaxSpeakers;
constexpr std::int32_t kBootSignalWindowMs = 2000;
constexpr std::int32_t kFoundPauseMs = 1000;
constexpr std::int32_t kBootModePauseMs = 1000;
constexpr std::int32_t kApplicationModePauseMs = 2000;

bool SameSerial(const SpeakerRecord& a, const SpeakerRecord& b) {
  return std::memcmp(a.serial, b.serial, sizeof a.serial) == 0;
}

}  // namespace

void SpeakerNetwork::PinPort(std::optional<std::string> path) {
  const Hold hold(*this, kNoLimit);
  pinnedPath = std::move(path);
}

ScanOutcome SpeakerNetwork::ScanNetwork() {
  const Hold hold(*this, kNoLimit);
  ScanOutcome outcome;
  outcome.pinnedPath = pinnedPath;
  portPath.clear();
  // A search that finds nobody must not leave an earlier search's speakers listed.
  speakerCount = 0;
  unlistedSerials.clear();
  bool found = false;
  if (pinnedPath) {
    portNumber = -1;
    const bool opened = port.OpenPath(*pinnedPath);
    found = opened && ProbeOpenPort();
    if (!found) {
      NoteTried(-1, *pinnedPath, opened, outcome);
      port.Close();
    }
  } else {
    found = SearchNumberedPorts(outcome);
  }

  if (!found) {
    NoteNobodyFound(outcome);
    outcome.bus = Snapshot();
    return outcome;
  }
  outcome.busKeptTalking = IdentifySpeakers();
  const std::string path =
      pinnedPath ? *pinnedPath : services.serial.PortPath(static_cast<std::int16_t>(portNumber));
  platform::Trace("ScanNetwork : " + std::to_string(speakerCount) + " speakers identified at " +
                  path + "\n");
  if (speakerCount > 0) {
    portPath = path;
    if (!pinnedPath)
      SavePort(portNumber);
  } else {
    NoteTried(portNumber, path, true, outcome);
    portNumber = -1;
    if (!pinnedPath)
      SavePort(-1);
    port.Close();
  }
  outcome.bus = Snapshot();
  outcome.unlistedSpeakers = static_cast<std::int32_t>(unlistedSerials.size());
  return outcome;
}

void SpeakerNetwork::NoteNobodyFound(const ScanOutcome& outcome) {
  portNumber = -1;
  if (pinnedPath) {
    platform::Trace("ScanNetwork : no speakers at " + *pinnedPath + "\n");
  } else if (outcome.busyPorts.empty()) {
    SavePort(-1);
  } else {
    // The speakers may well be behind a port another program holds: keep what was saved.
    std::string ports;
    for (const std::int32_t busy : outcome.busyPorts)
      ports += " " + std::to_string(busy);
    platform::Trace("ScanNetwork : no speakers found, ports in use by another program:" + ports +
                    "; saved port kept\n");
  }
}

bool SpeakerNetwork::SearchNumberedPorts(ScanOutcome& outcome) {
  portNumber = ReadSavedPort();
  // A number the search never reaches would end it before it began.
  bool savedFirst = portNumber >= 0 && portNumber <= kHighestPort;
  if (!savedFirst)
    portNumber = 0;

  while (portNumber <= kHighestPort) {
    const auto number = static_cast<std::int16_t>(portNumber);
    if (port.Open(number)) {
      if (ProbeOpenPort())
        return true;
      NoteTried(portNumber, services.serial.PortPath(number), true, outcome);
    } else {
      NoteTried(portNumber, services.serial.PortPath(number), false, outcome);
      port.Close();
      // The search restarts at port 0, the first adapter on POSIX (a saved 0 goes on to 1).
      if (savedFirst && portNumber > 0)
        portNumber = -1;
      savedFirst = false;
    }
    ++portNumber;
  }
  return false;
}

bool SpeakerNetwork::ProbeOpenPort() {
  if (PingSpeakers())
    return true;
  SetMode(kBootMode);
  return PingSpeakers();
}

void SpeakerNetwork::NoteTried(std::int32_t number, const std::string& path, bool opened,
                               ScanOutcome& outcome) {
  std::optional<platform::SerialProblem> problem;
  if (!opened) {
    const platform::SerialFailure& failure = port.Device().LastFailure();
    problem = failure ? failure->problem : platform::SerialProblem::kOther;
  }
  outcome.portsTried.push_back({path, number, problem});
  platform::Trace("ScanNetwork : " + path + " gave no speakers: " +
                  (problem ? platform::ProblemName(*problem) : "opened, nobody answered") + "\n");
  std::vector<std::int32_t>& busy = outcome.busyPorts;
  if (problem == platform::SerialProblem::kInUse && number >= 0 &&
      std::find(busy.begin(), busy.end(), number) == busy.end())
    busy.push_back(number);
}

bool SpeakerNetwork::Listen(std::int32_t windowMs, const std::function<Heard()>& take) {
  // A closed port hears nothing; its reads return at once and would only spin.
  if (!PortIsOpen())
    return false;
  std::int32_t start = services.clock.TickMs();
  while (ElapsedMs(start, services.clock.TickMs()) < windowMs) {
    if (ReadIntoMessages() == 0)
      continue;
    switch (take()) {
      case Heard::kEnough:
        return true;
      case Heard::kRestartWindow:
        start = services.clock.TickMs();
        break;
      case Heard::kNothing:
        break;
    }
  }
  return false;
}

bool SpeakerNetwork::PingSpeakers() {
  Reset();
  port.FlushInput();
  SendIdentifyRequest();
  // Counted from the request and not extended by replies.
  const bool answered = Listen(kPingWindowMs, [this] {
    SpeakerRecord scratch;
    return messages.TakeIdentificationReply(scratch) ? Heard::kEnough : Heard::kNothing;
  });
  if (answered) {
    services.clock.SleepMs(kFoundPauseMs);
    port.FlushInput();
  }
  return answered;
}

bool SpeakerNetwork::IdentifySpeakers() {
  speakerCount = 0;
  unlistedSerials.clear();
  Reset();
  bool keptTalking = false;
  for (int pass = 0; pass < kIdentifyPasses; ++pass) {
    port.FlushInput();
    SendIdentifyRequest();
    const std::int32_t start = services.clock.TickMs();
    int replies = 0;
    // A pass ends once the window passes without an accepted reply, or at its bounds. One
    // burst may hold the replies of several speakers.
    const bool bounded = Listen(kIdentifyWindowMs, [&] {
      SpeakerRecord scratch;
      bool accepted = false;
      while (replies < kIdentifyPassReplyLimit && messages.TakeIdentificationReply(scratch)) {
        EnterSpeaker(scratch);
        ++replies;
        accepted = true;
      }
      if (replies >= kIdentifyPassReplyLimit ||
          ElapsedMs(start, services.clock.TickMs()) >= kIdentifyPassLimitMs)
        return Heard::kEnough;
      return accepted ? Heard::kRestartWindow : Heard::kNothing;
    });
    platform::Trace("IdentifySpeakers : pass " + std::to_string(pass + 1) + ", " +
                    std::to_string(replies) + " replies\n");
    if (bounded) {
      keptTalking = true;
      platform::Trace("IdentifySpeakers : pass " + std::to_string(pass + 1) + " stopped after " +
                      std::to_string(ElapsedMs(start, services.clock.TickMs())) + " ms and " +
                      std::to_string(replies) + " replies: the bus kept talking\n");
    }
  }
  return keptTalking;
}

void SpeakerNetwork::EnterSpeaker(const SpeakerRecord& record) {
  for (int i = 0; i < speakerCount; ++i) {
    if (SameSerial(speakers[i], record)) {
      speakers[i] = record;
      return;
    }
  }
  if (speakerCount >= kMaxSpeakers) {
    const std::uint32_t serial = record.SerialNumber();
    if (std::find(unlistedSerials.begin(), unlistedSerials.end(), serial) ==
        unlistedSerials.end()) {
      unlistedSerials.push_back(serial);
      platform::Trace("IdentifySpeakers : table full, serial " + std::to_string(serial) +
                      " left out\n");
    }
    return;
  }
  speakers[speakerCount] = record;
  ++speakerCount;
}

bool SpeakerNetwork::WaitForBootSignal() {
  port.FlushInput();
  return Listen(kBootSignalWindowMs,
                [this] { return messages.TakeBootSignal() ? Heard::kEnough : Heard::kNothing; });
}

void SpeakerNetwork::SetMode(std::uint8_t mode) {
  const bool heard = WaitForBootSignal();
  port.FlushInput();
  WriteModeCommand(txFrame, mode);
  Send(kModeCommand, heard ? kBootSignalDestination : kEverySpeaker);
  platform::Trace(std::string("SetMode : ") + (mode == kApplicationMode ? "Application" : "Boot") +
                  " mode sent" + (heard ? " after the boot signal" : " to every speaker") + "\n");
  services.clock.SleepMs(mode == kApplicationMode ? kApplicationModePauseMs : kBootModePauseMs);
}

}  // namespace flashdesk
