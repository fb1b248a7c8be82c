#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/ErrorLog.h"
#include "platform/SystemError.h"
#include "protocol/SpeakerRecord.h"

namespace flashdesk {

// The bus as the engine knew it when an operation ended: the port and the speaker table.
struct BusSnapshot {
  // The numbered port the last scan found; -1 when none or when the port is pinned.
  std::int32_t portNumber = -1;
  // The device path the speakers answered at; empty when the last scan found none.
  std::string portPath;
  // The identified speakers, in the order of first reply.
  std::vector<SpeakerRecord> speakers;

  // Speakers of type t holding an entry of kind k, each counted once.
  std::int32_t CountSpeakers(std::int32_t type, std::int32_t kind) const;
};

// A port that a scan tried without finding speakers there.
struct TriedPort {
  std::string path;
  // -1 for a port given by its path.
  std::int32_t number = -1;
  // Why it did not open; empty when it opened and nobody answered (silent).
  std::optional<platform::SerialProblem> problem;
};

// What ScanNetwork found.
struct ScanOutcome {
  // The numbered search tries the ports 0 to kHighestPort.
  static constexpr std::int32_t kHighestPort = 10;

  BusSnapshot bus;
  // The only device searched, when one was pinned.
  std::optional<std::string> pinnedPath;
  // Distinct speakers heard that the full table could not take.
  std::int32_t unlistedSpeakers = 0;
  // An identification pass was cut short because replies kept coming; the speakers heard
  // until then are listed.
  bool busKeptTalking = false;
  // Every port tried that gave no speakers, in the order tried (a port tried twice is here
  // twice).
  std::vector<TriedPort> portsTried;
  // Ports that another program held, each once, in the order tried; a search that found no
  // speakers keeps the saved port when this is not empty.
  std::vector<std::int32_t> busyPorts;
};

// What Upload did.
struct UploadOutcome {
  // The bus the upload went to, as the last identification left it.
  BusSnapshot bus;
  // An attempt ended without any transfer error reported.
  bool done = false;
  // Attempts that began sending, 0 to 3.
  std::int32_t attempts = 0;
  // The status events of the last attempt.
  std::vector<LogEvent> events;
  // The transfer errors reported in each attempt that began sending, in order of arrival.
  std::vector<std::vector<LogEvent>> attemptErrors;
  // RequestAbort stopped the upload; blocksSent of dataBlocks went out in its last attempt.
  bool stopped = false;
  std::int64_t blocksSent = 0;
  std::int64_t dataBlocks = 0;
  // Why the image could not be opened or read whole, with its path; empty when it could.
  std::string imageProblem;
  // SHA-256 of the image as the last attempt read it, which later changes to the path do not
  // touch: absent when no attempt opened it, empty when it could not be read whole.
  std::optional<std::string> sentSha256;
};

// What ConfirmExit did.
struct ExitOutcome {
  // The identification the checks ran on (empty when the engine stayed busy).
  BusSnapshot bus;
  // The speakers were sent to Application mode and the port is closed.
  bool allowed = false;
};

}  // namespace flashdesk
