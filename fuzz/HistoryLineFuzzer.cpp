// A line of the upload history as any program or a damaged disk may have left it. A line that
// reads must hold no number out of range, must be written back by HistoryLine as one line that
// reads again to the same line, and the history document that lists it must be JSON.
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "records/JsonDocuments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace flashdesk::records;
  std::string problem;
  const std::optional<UploadRecord> record =
      ParseHistoryLine(std::string(reinterpret_cast<const char*>(data), size), problem);
  if (!record) {
    FUZZ_CHECK(!problem.empty());
    return 0;
  }
  // Nothing wrapped on the way in: every number within what a speaker or port can have.
  FUZZ_CHECK(!record->port.number || (*record->port.number >= -1 && *record->port.number < 32768));
  for (const SpeakerOutcome& outcome : record->speakers) {
    const SpeakerFacts& speaker = outcome.speaker;
    FUZZ_CHECK(speaker.serial < (1u << 28) && speaker.type.value_or(0) >= 0 &&
               speaker.type.value_or(0) < 0x80 && outcome.lastCode.value_or(0) < 0x80);
    for (const auto& version : {speaker.versions.bootLoader, speaker.versions.application,
                                speaker.versions.test, speaker.versions.fpga})
      FUZZ_CHECK(version.value_or(0) >= 0 && version.value_or(0) <= 255 * 100 + 255);
  }
  const std::string written = HistoryLine(*record);
  FUZZ_CHECK(written.find('\n') == std::string::npos);
  const std::optional<UploadRecord> again = ParseHistoryLine(written, problem);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(HistoryLine(*again) == written);
  const nlohmann::json document =
      nlohmann::json::parse(HistoryDocument({*again}, {}), nullptr, false);
  FUZZ_CHECK(document.is_object() && document["uploads"].size() == 1);
  return 0;
}
