#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/ErrorLog.h"
#include "protocol/SpeakerRecord.h"

namespace flashdesk {
struct BusSnapshot;
struct ScanOutcome;
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

enum class Verification {
  kVerified,        // reports the version the file's name gives
  kVersionDiffers,  // reports another version
  kCannotVerify,    // the name gives no version, or the speaker reports no such software
};

// What the identification after an upload said of the uploaded software.
struct VersionCheck {
  Verification result = Verification::kCannotVerify;
  std::optional<std::int32_t> has;       // hundredths, as the speaker reports it
  std::optional<std::int32_t> fileSays;  // hundredths, from the file's name
};

struct SpeakerOutcome {
  SpeakerFacts speaker;
  Outcome outcome = Outcome::kNoAnswer;
  std::optional<std::uint8_t> lastCode;  // the last transfer error, for kFailed
  // Present for a speaker the file is for, once an upload was verified.
  std::optional<VersionCheck> check;
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

// A port the search tried that gave no speakers, and why.
struct TriedPortFacts {
  std::string path;
  std::optional<std::int32_t> number;  // absent for a port given by path
  std::string problem;                 // "permission", "in_use", ..., or "silent"
};

// The ports a search tried that gave no speakers, in the order tried; of the numbered ports
// only those that exist.
std::vector<TriedPortFacts> TriedPortsOf(const ScanOutcome& scan);

struct ScanResult {
  PortFacts port;
  std::vector<SpeakerFacts> speakers;
  std::vector<TriedPortFacts> portsTried;
};

struct FileFacts {
  std::string path;
  std::optional<std::int64_t> bytes;  // absent when the file cannot be read
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
  // The transfer errors each attempt that began sending ended with.
  std::vector<std::vector<LogEvent>> attemptErrors;
  // The speakers whose errors ended every attempt, when the same ones did.
  std::vector<std::uint32_t> culprits;
  std::vector<TriedPortFacts> portsTried;
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
  // The speakers as the exit checks' identification found them.
  std::vector<SpeakerFacts> speakers;
};

// The whole job of one command: upload, verification and exit checks.
struct FlashResult {
  UploadResult upload;  // its speakers carry their version checks
  std::optional<ExitResult> exit;  // absent when nothing was sent
  // Every speaker the file is for passed and was verified, and the exit was allowed.
  bool succeeded = false;
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
