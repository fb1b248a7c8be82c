// The upload history as any program or a damaged disk may have left it: the input is the file,
// one line per upload. A line that reads must hold no number out of range, must be written back
// by HistoryLine as one line that reads again to the same line, and the history document that
// lists it must be JSON. Reading the whole file gives every line that reads, in order, and
// skips every other non-empty line under its own number, with why.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "records/JsonDocuments.h"
#include "records/UploadHistory.h"

namespace {

using namespace flashdesk::records;

// The round trip of one line that reads; its line as HistoryLine writes it.
std::string CheckReadLine(const UploadRecord& record) {
  // Nothing wrapped on the way in: every number within what a speaker or port can have.
  FUZZ_CHECK(!record.port.number || (*record.port.number >= -1 && *record.port.number < 32768));
  for (const SpeakerOutcome& outcome : record.speakers) {
    const SpeakerFacts& speaker = outcome.speaker;
    FUZZ_CHECK(speaker.serial < (1u << 28) && speaker.type.value_or(0) >= 0 &&
               speaker.type.value_or(0) < 0x80 && outcome.lastCode.value_or(0) < 0x80);
    for (const auto& version : {speaker.versions.bootLoader, speaker.versions.application,
                                speaker.versions.test, speaker.versions.fpga})
      FUZZ_CHECK(version.value_or(0) >= 0 && version.value_or(0) <= 255 * 100 + 255);
  }
  const std::string written = HistoryLine(record);
  FUZZ_CHECK(written.find('\n') == std::string::npos);
  std::string problem;
  const std::optional<UploadRecord> again = ParseHistoryLine(written, problem);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(HistoryLine(*again) == written);
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // Each line on its own, as the reader is to take it: its line end and one CR before it gone,
  // an empty line no upload.
  std::vector<std::string> read;
  std::vector<SkippedLine> skipped;
  std::int64_t number = 1;
  for (std::size_t at = 0; at < input.size(); ++number) {
    std::size_t end = input.find('\n', at);
    if (end == std::string::npos)
      end = input.size();
    std::string line = input.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty())
      continue;
    std::string problem;
    const std::optional<UploadRecord> record = ParseHistoryLine(line, problem);
    if (record) {
      read.push_back(CheckReadLine(*record));
    } else {
      FUZZ_CHECK(!problem.empty());
      skipped.push_back({number, problem});
    }
  }

  const std::string path = flashdesk::fuzz::WriteScratchFile("history.jsonl", data, size);
  const UploadHistory::Reading reading = UploadHistory(path).Read();
  FUZZ_CHECK(reading.problem.empty());
  FUZZ_CHECK(reading.records.size() == read.size());
  for (std::size_t i = 0; i < read.size(); ++i)
    FUZZ_CHECK(HistoryLine(reading.records[i]) == read[i]);
  FUZZ_CHECK(reading.skipped.size() == skipped.size());
  for (std::size_t i = 0; i < skipped.size(); ++i) {
    FUZZ_CHECK(reading.skipped[i].line == skipped[i].line);
    FUZZ_CHECK(reading.skipped[i].problem == skipped[i].problem);
  }
  const nlohmann::json document =
      nlohmann::json::parse(HistoryDocument(reading.records, reading.skipped), nullptr, false);
  FUZZ_CHECK(document.is_object() && document["uploads"].size() == read.size() &&
             document["skipped_lines"].size() == skipped.size());
  return 0;
}
