#include "cli/UploadReport.h"

#include <cstdio>

#include "application/Verification.h"
#include "log/ReplyCode.h"

namespace flashdesk::cli {
namespace {

// "%2i" as the report's own headings count.
std::string Count(std::size_t count) {
  char text[24];
  std::snprintf(text, sizeof text, "%2zu", count);
  return text;
}

std::string Named(const records::SpeakerFacts& speaker) {
  return std::to_string(speaker.serial) + "  " +
         (speaker.model.empty() ? "unknown model" : speaker.model);
}

std::string SerialList(const std::vector<std::uint32_t>& serials) {
  std::string text;
  for (const std::uint32_t serial : serials)
    text += (text.empty() ? "" : ", ") + std::to_string(serial);
  return text;
}

void PrintSilent(const std::vector<std::uint32_t>& serials, std::ostream& output) {
  if (serials.empty())
    return;
  output << Count(serials.size()) << " Identified Speaker(s) Never Answered:\n";
  for (const std::uint32_t serial : serials)
    output << "    - Serial: " << serial << '\n';
}

void PrintWrongModel(const std::vector<records::SpeakerOutcome>& speakers, std::ostream& output) {
  std::vector<const records::SpeakerFacts*> refused;
  for (const records::SpeakerOutcome& speaker : speakers) {
    if (speaker.outcome == records::Outcome::kWrongType)
      refused.push_back(&speaker.speaker);
  }
  if (refused.empty())
    return;
  output << Count(refused.size()) << " Speaker(s) Refused The Image As Another Model's"
         << " (TYPE ERROR):\n";
  for (const records::SpeakerFacts* speaker : refused)
    output << "    - Serial: " << Named(*speaker) << '\n';
}

void PrintCulprits(const records::UploadResult& facts, std::ostream& output) {
  for (std::size_t attempt = 0; attempt < facts.attemptErrors.size(); ++attempt) {
    const std::vector<LogEvent>& errors = facts.attemptErrors[attempt];
    if (errors.empty())
      continue;
    output << "Attempt " << attempt + 1 << " ended by:";
    for (const LogEvent& error : errors)
      output << ' ' << error.serial << " (" << ReplyWord(error.code) << ')';
    output << '\n';
  }
  if (facts.culprits.empty())
    return;
  const std::string serials = SerialList(facts.culprits);
  output << "Speaker(s) " << serials << " reported an error in every attempt. An error ends the "
         << "data phase for every speaker, so the others were interrupted by them: check or "
         << "disconnect speaker(s) " << serials << " and upload again.\n";
}

}  // namespace

void PrintUploadReport(const application::UploadResult& result, std::ostream& output) {
  output << result.facts.status << '\n' << result.report;
  PrintSilent(result.silentSpeakers, output);
  PrintWrongModel(result.facts.speakers, output);
  PrintCulprits(result.facts, output);
  output << std::flush;
}

void PrintVerification(const records::UploadResult& facts, std::ostream& output) {
  bool any = false;
  for (const records::SpeakerOutcome& speaker : facts.speakers) {
    if (!speaker.check)
      continue;
    if (!any)
      output << "Verify:\n";
    any = true;
    output << "    - Serial: " << Named(speaker.speaker) << "  "
           << application::VerificationText(*speaker.check) << '\n';
  }
  output << std::flush;
}

}  // namespace flashdesk::cli
