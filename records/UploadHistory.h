#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/JsonDocuments.h"
#include "records/Results.h"

namespace flashdesk::records {

// The upload history: one JSON line per upload in a file of the user's state folder,
// $XDG_STATE_HOME/flashdesk/history.jsonl (else ~/.local/state/...) on POSIX and
// %LOCALAPPDATA%\FlashDesk\history.jsonl on Windows. Appends are single writes of whole
// lines, so a crash leaves at worst one broken line, which reading skips. Nothing here
// throws; any thread may use it, and several programs may append at once.
class UploadHistory {
 public:
  // Reading holds no more than this of the file, nor more than this of one line: a link to
  // /dev/zero's like or a runaway writer cannot exhaust memory. What lies beyond is skipped and
  // named.
  static constexpr std::int64_t kMaxReadBytes = std::int64_t{64} << 20;
  static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

  // The user's history file; empty when the system names no state folder.
  static std::string DefaultPath();

  explicit UploadHistory(std::string path = DefaultPath());

  // Appends the record as one line, creating the folder and file as needed; false, with a
  // trace line and, when asked for, why in problem, when it cannot be written. The upload's own
  // result never depends on it.
  bool Append(const UploadRecord& record, std::string* problem = nullptr) const;

  struct Reading {
    std::vector<UploadRecord> records;
    std::vector<SkippedLine> skipped;
    // Why the file could not be read at all (also: it is no regular file); empty for a file
    // that is simply absent.
    std::string problem;
  };
  // Every readable record in file order, only those naming serial when given.
  Reading Read(std::optional<std::uint32_t> serial = std::nullopt) const;

  const std::string& Path() const { return path; }

 private:
  std::string path;
};

// The history line of an upload that just ended, stamped now, naming the file without its
// folder.
UploadRecord RecordOfUpload(const PortFacts& port, const std::string& imagePath,
                            const std::string& sha256, std::vector<SpeakerOutcome> speakers);

// A time as UTC in ISO 8601 to the second: 2024-05-01T09:30:00Z.
std::string UtcTimestamp(std::chrono::system_clock::time_point time);

}  // namespace flashdesk::records
