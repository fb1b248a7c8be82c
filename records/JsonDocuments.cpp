#include "records/JsonDocuments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "protocol/Protocol.h"

namespace flashdesk::records {
namespace {

using Json = nlohmann::ordered_json;

template <typename T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

// Invalid UTF-8 (a file name in another code page) is replaced, never thrown about.
std::string Dump(const Json& document, int indent) {
  return document.dump(indent, ' ', false, Json::error_handler_t::replace);
}

std::string Document(const char* command, Json fields) {
  Json document = {{"schema_version", kSchemaVersion}, {"command", command}};
  document.update(fields);
  return Dump(document, 2);
}

Json VersionJson(const std::optional<std::int32_t>& hundredths) {
  return hundredths ? Json(*hundredths / 100.0) : Json(nullptr);
}

// What a history line may hold. A number outside is a broken line: converted, it would wrap
// (serial -1 as 4294967295) or be undefined (7.8e45 as an int).
constexpr std::int64_t kLargestSerial = (1 << 28) - 1;  // four 7-bit groups
constexpr std::int64_t kLargestByte = 0x7F;             // type and reply code travel in 7 bits
// -1 is the saved port's "none found"; Windows numbers its COM ports far below 32767.
constexpr std::int64_t kLowestPort = -1;
constexpr std::int64_t kLargestPort = 32767;
// major.minor, each a byte, in hundredths.
constexpr std::int32_t kLargestVersion = 255 * 100 + 255;

[[noreturn]] void OutOfRange(const std::string& field, const std::string& wanted,
                             const Json& value) {
  throw std::out_of_range(field + " must be " + wanted + ", not " +
                          (value.is_number() ? Dump(value, -1) : value.type_name()));
}

std::int64_t WholeFromJson(const Json& value, const std::string& field, std::int64_t lowest,
                           std::int64_t highest) {
  // Unsigned first: a value above the int64 range must not turn negative on the way.
  const bool inRange = value.is_number_unsigned()
                           ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(highest)
                           : value.is_number_integer() && value.get<std::int64_t>() >= lowest &&
                                 value.get<std::int64_t>() <= highest;
  if (!inRange) {
    OutOfRange(field,
               "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest),
               value);
  }
  return value.get<std::int64_t>();
}

std::optional<std::int32_t> VersionFromJson(const Json& value, const std::string& field) {
  if (value.is_null())
    return std::nullopt;
  const double number = value.is_number() ? value.get<double>() : -1;
  if (!(std::isfinite(number) && number >= 0 && number <= kLargestVersion / 100.0))
    OutOfRange(field, "null or a version from 0 to " + Dump(VersionJson(kLargestVersion), -1),
               value);
  return static_cast<std::int32_t>(std::lround(number * 100));
}

Json PortJson(const PortFacts& port) {
  if (port.path.empty())
    return nullptr;
  return {{"number", OrNull(port.number)}, {"path", port.path}};
}

PortFacts PortFromJson(const Json& value) {
  PortFacts port;
  if (value.is_null())
    return port;
  if (!value.at("number").is_null()) {
    port.number = static_cast<std::int32_t>(
        WholeFromJson(value.at("number"), "port number", kLowestPort, kLargestPort));
  }
  port.path = value.at("path").get<std::string>();
  return port;
}

Json SpeakerJson(const SpeakerFacts& speaker) {
  const SoftwareVersions& versions = speaker.versions;
  return {{"serial", speaker.serial},
          {"type", OrNull(speaker.type)},
          {"model", TextOrNull(speaker.model)},
          {"versions",
           {{"boot_loader", VersionJson(versions.bootLoader)},
            {"application", VersionJson(versions.application)},
            {"test", VersionJson(versions.test)},
            {"fpga", VersionJson(versions.fpga)}}}};
}

SpeakerFacts SpeakerFromJson(const Json& value) {
  SpeakerFacts speaker;
  speaker.serial =
      static_cast<std::uint32_t>(WholeFromJson(value.at("serial"), "serial", 0, kLargestSerial));
  if (!value.at("type").is_null()) {
    speaker.type =
        static_cast<std::int32_t>(WholeFromJson(value.at("type"), "type", 0, kLargestByte));
  }
  if (!value.at("model").is_null())
    speaker.model = value.at("model").get<std::string>();
  const Json& versions = value.at("versions");
  const auto version = [&versions](const char* name) {
    return VersionFromJson(versions.at(name), std::string("version ") + name);
  };
  speaker.versions = {version("boot_loader"), version("application"), version("test"),
                      version("fpga")};
  return speaker;
}

constexpr std::pair<Outcome, const char*> kOutcomeNames[] = {{Outcome::kPassed, "passed"},
                                                             {Outcome::kFailed, "failed"},
                                                             {Outcome::kWrongType, "type_error"},
                                                             {Outcome::kNoAnswer, "no_answer"}};

Json OutcomeJson(const SpeakerOutcome& outcome) {
  Json speaker = SpeakerJson(outcome.speaker);
  for (const auto& [value, name] : kOutcomeNames) {
    if (value == outcome.outcome)
      speaker["outcome"] = name;
  }
  speaker["last_code"] = OrNull(outcome.lastCode);
  speaker["last_reply"] = outcome.lastCode ? Json(ReplyWord(*outcome.lastCode)) : Json(nullptr);
  return speaker;
}

constexpr std::pair<Verification, const char*> kVerificationNames[] = {
    {Verification::kVerified, "verified"},
    {Verification::kVersionDiffers, "version_differs"},
    {Verification::kCannotVerify, "cannot_verify"}};

// A document's speaker: the history's fields and, once verified, the version check.
Json CheckedOutcomeJson(const SpeakerOutcome& outcome) {
  Json speaker = OutcomeJson(outcome);
  speaker["verify"] = nullptr;
  if (outcome.check) {
    for (const auto& [value, name] : kVerificationNames) {
      if (value == outcome.check->result)
        speaker["verify"] = {{"result", name},
                             {"has", VersionJson(outcome.check->has)},
                             {"file_says", VersionJson(outcome.check->fileSays)}};
    }
  }
  return speaker;
}

SpeakerOutcome OutcomeFromJson(const Json& value) {
  SpeakerOutcome outcome;
  outcome.speaker = SpeakerFromJson(value);
  const std::string name = value.at("outcome").get<std::string>();
  const auto known = std::find_if(std::begin(kOutcomeNames), std::end(kOutcomeNames),
                                  [&name](const auto& entry) { return name == entry.second; });
  if (known == std::end(kOutcomeNames))
    throw std::invalid_argument("unknown outcome \"" + name + "\"");
  outcome.outcome = known->first;
  if (!value.at("last_code").is_null())
    outcome.lastCode = static_cast<std::uint8_t>(
        WholeFromJson(value.at("last_code"), "last_code", 0, kLargestByte));
  return outcome;
}

Json OutcomesJson(const std::vector<SpeakerOutcome>& outcomes) {
  Json list = Json::array();
  for (const SpeakerOutcome& outcome : outcomes)
    list.push_back(OutcomeJson(outcome));
  return list;
}

Json RecordJson(const UploadRecord& record) {
  return {{"schema_version", kSchemaVersion},
          {"time", record.time},
          {"port", PortJson(record.port)},
          {"file", {{"name", record.fileName}, {"sha256", record.sha256}}},
          {"speakers", OutcomesJson(record.speakers)}};
}

std::string HexId(std::uint16_t id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(id));
  return text;
}

Json FileJson(const std::string& path, std::optional<std::int64_t> bytes, const std::string& sha256,
              std::int64_t dataBlocks) {
  return {{"path", path},
          {"bytes", OrNull(bytes)},
          {"sha256", TextOrNull(sha256)},
          {"data_blocks", dataBlocks}};
}

Json CatalogJson(const std::optional<CatalogReading>& reading) {
  if (!reading)
    return nullptr;
  const char* kind = reading->kind == kKindBoot   ? "boot_loader"
                     : reading->kind == kKindTest ? "test"
                                                  : "application";
  return {{"kind", kind},
          {"type", OrNull(reading->modelType)},
          {"version", VersionJson(reading->version)}};
}

Json SpeakersJson(const std::vector<SpeakerFacts>& facts) {
  Json speakers = Json::array();
  for (const SpeakerFacts& speaker : facts)
    speakers.push_back(SpeakerJson(speaker));
  return speakers;
}

Json PortsTriedJson(const std::vector<TriedPortFacts>& tried) {
  Json ports = Json::array();
  for (const TriedPortFacts& port : tried) {
    ports.push_back(
        {{"path", port.path}, {"number", OrNull(port.number)}, {"problem", port.problem}});
  }
  return ports;
}

Json UploadFields(const UploadResult& result) {
  const FileFacts& file = result.file;
  Json speakers = Json::array();
  for (const SpeakerOutcome& outcome : result.speakers)
    speakers.push_back(CheckedOutcomeJson(outcome));
  Json attempts = Json::array();
  for (const std::vector<LogEvent>& errors : result.attemptErrors) {
    Json attempt = Json::array();
    for (const LogEvent& error : errors)
      attempt.push_back(
          {{"serial", error.serial}, {"code", error.code}, {"reply", ReplyWord(error.code)}});
    attempts.push_back(attempt);
  }
  return {{"port", PortJson(result.port)},
          {"file", FileJson(file.path, file.bytes, file.sha256, file.dataBlocks)},
          {"attempts", result.attempts},
          {"succeeded", result.succeeded},
          {"status", result.status},
          {"refusal", TextOrNull(result.refusal)},
          {"speakers", speakers},
          {"attempt_errors", attempts},
          {"culprits", result.culprits},
          {"ports_tried", PortsTriedJson(result.portsTried)}};
}

Json ExitFields(const ExitResult& result) {
  Json prompts = Json::array();
  for (const ExitPrompt& prompt : result.prompts)
    prompts.push_back({{"text", prompt.text}, {"answer", OrNull(prompt.answer)}});
  return {{"port", PortJson(result.port)},
          {"allowed", result.allowed},
          {"prompts", prompts},
          {"speakers", SpeakersJson(result.speakers)}};
}

}  // namespace

std::string ScanDocument(const ScanResult& result) {
  return Document("scan", {{"port", PortJson(result.port)},
                           {"speakers", SpeakersJson(result.speakers)},
                           {"ports_tried", PortsTriedJson(result.portsTried)}});
}

std::string UploadDocument(const UploadResult& result) {
  return Document("upload", UploadFields(result));
}

std::string ExitDocument(const ExitResult& result) {
  return Document("exit", ExitFields(result));
}

std::string FlashDocument(const FlashResult& result) {
  Json fields = UploadFields(result.upload);
  // The upload's own verdict keeps its name; the job's is "succeeded".
  fields["upload_succeeded"] = fields["succeeded"];
  fields["succeeded"] = result.succeeded;
  fields["exit"] = result.exit ? ExitFields(*result.exit) : Json(nullptr);
  return Document("flash", fields);
}

std::string PortsDocument(const std::vector<platform::SerialDevice>& devices) {
  Json ports = Json::array();
  for (const platform::SerialDevice& device : devices) {
    Json usb = nullptr;
    if (device.vendorId && device.productId) {
      usb = {{"vendor_id", HexId(*device.vendorId)},
             {"product_id", HexId(*device.productId)},
             {"manufacturer", TextOrNull(device.manufacturer)},
             {"product", TextOrNull(device.product)},
             {"serial", TextOrNull(device.serialNumber)}};
    }
    ports.push_back({{"path", device.path},
                     {"aliases", device.aliases},
                     {"driver", TextOrNull(device.driver)},
                     {"usb", usb},
                     {"port_number", OrNull(device.portNumber)}});
  }
  return Document("ports", {{"ports", ports}});
}

std::string InfoDocument(const ImageInfo& info) {
  Json header = nullptr;
  if (info.sentHeader) {
    const auto& sent = *info.sentHeader;
    header = {{"flash_area", sent[0]},
              {"block_size", info.blockSize},
              {"sent_bytes", {sent[0], sent[1], sent[2]}}};
  }
  const auto bytes = info.readable ? std::optional<std::int64_t>(info.fileBytes) : std::nullopt;
  return Document("info", {{"file", FileJson(info.path, bytes, info.sha256, info.dataBlocks)},
                           {"payload_bytes", info.payloadBytes},
                           {"header", header},
                           {"attempt_ms", info.refused ? Json(nullptr) : Json(info.attemptMs)},
                           {"catalog", CatalogJson(info.catalog)},
                           {"refused", info.refused},
                           {"refusal", TextOrNull(info.refusal)}});
}

std::string HistoryDocument(const std::vector<UploadRecord>& records,
                            const std::vector<SkippedLine>& skipped) {
  Json uploads = Json::array();
  for (const UploadRecord& record : records) {
    Json upload = RecordJson(record);
    upload.erase("schema_version");
    uploads.push_back(upload);
  }
  Json problems = Json::array();
  for (const SkippedLine& line : skipped)
    problems.push_back({{"line", line.line}, {"problem", line.problem}});
  return Document("history", {{"uploads", uploads}, {"skipped_lines", problems}});
}

std::string HistoryLine(const UploadRecord& record) {
  return Dump(RecordJson(record), -1);
}

std::optional<UploadRecord> ParseHistoryLine(const std::string& line, std::string& problem) {
  const Json value = Json::parse(line, nullptr, false);
  if (value.is_discarded() || !value.is_object()) {
    problem = "not a JSON object";
    return std::nullopt;
  }
  try {
    UploadRecord record;
    record.time = value.at("time").get<std::string>();
    record.port = PortFromJson(value.at("port"));
    record.fileName = value.at("file").at("name").get<std::string>();
    record.sha256 = value.at("file").at("sha256").get<std::string>();
    const Json& speakers = value.at("speakers");
    if (!speakers.is_array())
      throw std::invalid_argument("speakers must be a list");
    for (const Json& speaker : speakers)
      record.speakers.push_back(OutcomeFromJson(speaker));
    return record;
  } catch (const std::exception& error) {
    problem = error.what();
    return std::nullopt;
  }
}

}  // namespace flashdesk::records
