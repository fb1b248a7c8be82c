#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/ErrorLog.h"
#include "protocol/SpeakerRecord.h"

namespace flashdesk {
struct BusSnapshot;
}  // namespace flashdesk

// Plain facts of what a command did, filled by the front ends and turned into JSON and
// history lines here.
namespace flashdesk::records {

// Versions in hundredths as the window shows them (105 is 1.05); absent for software the
// speaker did not report.
struct SoftwareVersions {
  std::optional<std::int32_t> bootLoader;
  std::optional<std::int32_t> application;
  std::optional<std::int32_t> test;
  std::optional<std::int32_t> fpga;
};

SoftwareVersions VersionsOf(const SpeakerRecord& record);

struct SpeakerFacts {
  std::uint32_t serial = 0;
  // Absent for a speaker that answered the upload but is not in the identified table.
  std::optional<std::int32_t> type;
  std::string model;  // empty when the type code names no model
  SoftwareVersions versions;
};

// What the last identification told of one speaker.
SpeakerFacts FactsOf(const SpeakerRecord& record);

enum class Outcome {
  kPassed,     // reported DONE
  kFailed,     // reported a transfer error (lastCode)
  kWrongType,  // reported TYPE ERROR: the image is not for it
  kNoAnswer,   // reported nothing, or READY and then nothing
};

struct SpeakerOutcome {
  SpeakerFacts speaker;
  Outcome outcome = Outcome::kNoAnswer;
  std::optional<std::uint8_t> lastCode;  // the last transfer error, for kFailed
};

// Each speaker's outcome from the events of an upload's last attempt: the identified speakers
// in table order, then serials heard that the table does not hold. A speaker's last DONE,
// TYPE ERROR or transfer error decides.
std::vector<SpeakerOutcome> OutcomesOf(const std::vector<SpeakerFacts>& speakers,
                                       const std::vector<LogEvent>& events);

struct PortFacts {
  std::optional<std::int32_t> number;  // absent for a port given by path
  std::string path;                    // empty when no port was found
};

// The port a scan found, with its device path; empty when it found none.
PortFacts PortOf(const BusSnapshot& bus);
// The speakers of the table, in table order.
std::vector<SpeakerFacts> SpeakersOf(const BusSnapshot& bus);

struct ScanResult {
  PortFacts port;
  std::vector<SpeakerFacts> speakers;
};

struct FileFacts {
  std::string path;
  std::int64_t bytes = 0;
  std::string sha256;
  std::int64_t dataBlocks = 0;
};

struct UploadResult {
  PortFacts port;
  FileFacts file;
  std::int32_t attempts = 0;
  bool succeeded = false;
  std::string status;  // the status line as the window shows it
  std::vector<SpeakerOutcome> speakers;
  std::string refusal;  // why the file was not sent; empty when it was
};

// One message or question of the exit checks; a message has no answer.
struct ExitPrompt {
  std::string text;
  std::optional<bool> answer;
};

struct ExitResult {
  PortFacts port;
  bool allowed = false;
  std::vector<ExitPrompt> prompts;
};

// One line of the upload history.
struct UploadRecord {
  std::string time;  // UTC, ISO 8601: 2024-05-01T09:30:00Z
  PortFacts port;
  std::string fileName;
  std::string sha256;
  std::vector<SpeakerOutcome> speakers;
};

}  // namespace flashdesk::records
