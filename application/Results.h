#pragma once

#include <string>
#include <vector>

#include "engine/Outcomes.h"
#include "records/Results.h"

// The finished results the application layer hands its front ends: values taken while the
// engine was held, never a view of the engine itself.
namespace flashdesk::application {

// What a search of the bus found.
struct ScanResult {
  // The port, the identified speakers' records, the ports held elsewhere and the speakers the
  // table could not take, as the engine left them.
  ScanOutcome found;
  // The same port and speakers as facts for text, documents and history.
  records::PortFacts port;
  std::vector<records::SpeakerFacts> speakers;
};

// What an upload did and what the front ends show of it.
struct UploadResult {
  // Port, file, attempts, verdict, status line, per-speaker outcomes and refusal.
  records::UploadResult facts;
  // The pass/fail report of the last attempt, as the window's report box shows it.
  std::string report;
  // Identified speakers that sent nothing in the last attempt, which the report cannot name.
  std::vector<std::uint32_t> silentSpeakers;
  // Every attempt ended cleanly and nobody was left unfinished, yet no speaker said DONE.
  bool nobodyTookIt = false;
  // Stopped on request after blocksSent of dataBlocks in its last attempt.
  bool stopped = false;
  std::int64_t blocksSent = 0;
  std::int64_t dataBlocks = 0;
  // The upload history line, whether it was written and, when one was due and not written, why.
  records::UploadRecord record;
  bool recorded = false;
  std::string historyProblem;
};

// What the exit checks did: the port, whether the program may end, each message and question
// with its answer.
using ExitResult = records::ExitResult;

}  // namespace flashdesk::application
