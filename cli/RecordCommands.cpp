#include "cli/RecordCommands.h"

#include <algorithm>
#include <cstdio>

#include "cli/SpeakerListing.h"
#include "log/ReplyCode.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "records/ImageInfo.h"
#include "records/JsonDocuments.h"
#include "records/UploadHistory.h"

namespace flashdesk::cli {

namespace {

void PrintDocument(CliEnvironment& environment, const std::string& document) {
  if (environment.json)
    environment.json->output << document << '\n' << std::flush;
}

std::string VersionText(const std::optional<std::int32_t>& hundredths) {
  return hundredths ? FormatVersion(*hundredths) : "missing";
}

const char* OutcomeText(records::Outcome outcome) {
  switch (outcome) {
    case records::Outcome::kPassed:
      return "passed";
    case records::Outcome::kFailed:
      return "failed";
    case records::Outcome::kWrongType:
      return "type error";
    case records::Outcome::kNoAnswer:
      break;
  }
  return "no answer";
}

std::string OutcomeWords(const records::SpeakerOutcome& outcome) {
  std::string text = OutcomeText(outcome.outcome);
  if (outcome.lastCode)
    text += std::string(" (") + ReplyWord(*outcome.lastCode) + ")";
  return text;
}

// Laid out in columns: outcomes as wide as the widest of the listing, versions as "missing".
std::string DescribeOutcome(const records::SpeakerOutcome& outcome, std::size_t outcomeWidth) {
  const records::SpeakerFacts& speaker = outcome.speaker;
  const records::SoftwareVersions& versions = speaker.versions;
  const auto padded = [](std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
  };
  const std::size_t versionWidth = std::string("missing").size();
  char serial[16];
  std::snprintf(serial, sizeof serial, "%10u", static_cast<unsigned>(speaker.serial));
  return std::string(serial) + "  " +
         padded(speaker.model.empty() ? "unknown model" : speaker.model, 13) + "  " +
         padded(OutcomeWords(outcome), outcomeWidth) + "  boot " +
         padded(VersionText(versions.bootLoader), versionWidth) + "  application " +
         padded(VersionText(versions.application), versionWidth) + "  test " +
         padded(VersionText(versions.test), versionWidth) + "  fpga " + VersionText(versions.fpga);
}

std::string CatalogText(const std::optional<records::CatalogReading>& reading) {
  if (!reading)
    return "not offered by any model's firmware list";
  const std::string version = FormatVersion(reading->version);
  if (reading->kind == kKindBoot)
    return "boot loader " + version;
  if (reading->kind == kKindTest)
    return "test software " + version;
  return ModelName(*reading->modelType) + " application " + version;
}

void PrintImageInfo(std::ostream& output, const records::ImageInfo& info) {
  output << "File: " << info.path << '\n';
  if (info.readable) {
    output << "Size: " << info.fileBytes << " bytes, payload " << info.payloadBytes << " bytes\n";
  }
  if (info.sentHeader) {
    const auto& sent = *info.sentHeader;
    char bytes[16];
    std::snprintf(bytes, sizeof bytes, "%02X %02X %02X", sent[0], sent[1], sent[2]);
    output << "Header: flash area " << static_cast<int>(sent[0]) << ", block size "
           << info.blockSize << ", sent as " << bytes << '\n';
  }
  output << "Data blocks: " << info.dataBlocks << " of up to " << kFileBytesPerBlock << " bytes\n";
  if (info.attemptMs > 0)
    output << "One attempt: " << (info.attemptMs + 500) / 1000 << " s\n";
  output << "Firmware list: " << CatalogText(info.catalog) << '\n';
  if (!info.sha256.empty())
    output << "SHA-256: " << info.sha256 << '\n';
  output << (info.refused ? "Refused: " + info.refusal : std::string("Sendable: yes")) << '\n'
         << std::flush;
}

}  // namespace

std::string PortText(const records::PortFacts& port) {
  if (port.path.empty())
    return "none";
  return port.number ? std::to_string(*port.number) + " (" + port.path + ")" : port.path;
}

CliEnvironment JsonEnvironment(const CliEnvironment& environment, JsonOutput& json) {
  return {environment.serial,
          environment.clock,
          environment.settings,
          environment.input,
          environment.errors,
          environment.errors,
          environment.errorsIsTerminal,
          environment.watchInterrupt,
          &json,
          environment.discoveryRoots,
          environment.summary};
}

void PrintScanDocument(const application::ScanResult& result, CliEnvironment& environment) {
  PrintDocument(environment, records::ScanDocument({result.port, result.speakers,
                                                    records::TriedPortsOf(result.found)}));
}

void PrintUploadDocument(const records::UploadResult& facts, CliEnvironment& environment) {
  PrintDocument(environment, records::UploadDocument(facts));
}

void PrintExitDocument(const application::ExitResult& result, CliEnvironment& environment) {
  PrintDocument(environment, records::ExitDocument(result));
}

void PrintFlashDocument(const records::FlashResult& result, CliEnvironment& environment) {
  PrintDocument(environment, records::FlashDocument(result));
}

records::UploadResult RefusedUpload(const std::string& path, const std::string& refusal) {
  records::UploadResult result;
  result.file = records::FileFactsOf(records::DescribeImage(path));
  result.refusal = refusal;
  return result;
}

void PrintPortsJson(CliEnvironment& environment,
                    const std::vector<platform::SerialDevice>& devices) {
  PrintDocument(environment, records::PortsDocument(devices));
}

int RunInfo(application::Session&, CliEnvironment& environment, const CliOptions& options) {
  const records::ImageInfo info = records::DescribeImage(options.imagePath);
  if (environment.json)
    PrintDocument(environment, records::InfoDocument(info));
  else
    PrintImageInfo(environment.output, info);
  return info.refused ? kExitFailure : kExitSuccess;
}

int RunHistory(application::Session&, CliEnvironment& environment, const CliOptions& options) {
  const records::UploadHistory history;
  const records::UploadHistory::Reading reading = history.Read(options.serial);
  if (!reading.problem.empty()) {
    environment.errors << "flashdesk-cli: " << reading.problem << '\n' << std::flush;
    return kExitFailure;
  }
  if (environment.json) {
    PrintDocument(environment, records::HistoryDocument(reading.records, reading.skipped));
    return kExitSuccess;
  }
  for (const records::SkippedLine& line : reading.skipped) {
    environment.errors << "flashdesk-cli: " << history.Path() << " line " << line.line
                       << " skipped: " << line.problem << '\n';
  }
  environment.errors << std::flush;
  std::size_t outcomeWidth = 0;
  for (const records::UploadRecord& record : reading.records) {
    for (const records::SpeakerOutcome& outcome : record.speakers)
      outcomeWidth = std::max(outcomeWidth, OutcomeWords(outcome).size());
  }
  for (const records::UploadRecord& record : reading.records) {
    environment.output << record.time << "  port " << PortText(record.port) << "  "
                       << record.fileName << "  sha256 " << record.sha256 << '\n';
    for (const records::SpeakerOutcome& outcome : record.speakers)
      environment.output << "  " << DescribeOutcome(outcome, outcomeWidth) << '\n';
  }
  if (reading.records.empty() && options.serial) {
    environment.output << "No uploads to speaker " << *options.serial << " recorded in "
                       << history.Path() << ".\n";
  } else if (reading.records.empty()) {
    environment.output << "No uploads recorded in " << history.Path() << ".\n";
  }
  environment.output << std::flush;
  return kExitSuccess;
}

}  // namespace flashdesk::cli
