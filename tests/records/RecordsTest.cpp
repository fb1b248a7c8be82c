// Outcomes per speaker, the JSON documents and the upload history file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "protocol/Protocol.h"
#include "records/JsonDocuments.h"
#include "records/UploadHistory.h"
#include "testing/EngineRig.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk::records {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

SpeakerFacts Speaker(std::uint32_t serial) {
  SpeakerRecord record;
  record.type = 4;
  record.entries[0] = {kKindBoot, 1, 5};
  record.entries[1] = {4, 2, 10};
  record.entries[2] = {kKindFpga, 1, 0};
  record.entries[3] = {kEmptySlotKind, 0, 0};  // no test software
  return {serial, 4, "TARN-S1", VersionsOf(record)};
}

// Passed, failed after READY, READY only, TYPE ERROR, and a serial the table lacks.
std::vector<SpeakerOutcome> MixedOutcomes() {
  return OutcomesOf({Speaker(1001), Speaker(1002), Speaker(1003), Speaker(1004)},
                    {{1001, kReplyReady},
                     {1002, kReplyReady},
                     {1003, kReplyReady},
                     {1002, kReplyCountError},
                     {1002, kReplyChecksumError},
                     {1004, kReplyTypeError},
                     {1001, kReplyDone},
                     {2000, kReplyDone}});
}

TEST(Records, EachSpeakerGetsTheOutcomeItsLastDecidingReplyGivesAndScriptsSeeIt) {
  const json upload = json::parse(UploadDocument({{3, "/dev/ttyUSB3"},
                                                  {"/syx/TarnS1V1.23.syx", 2055, "ab12", 32},
                                                  2,
                                                  false,
                                                  "Status: One Or More Errors May Have Occoured",
                                                  MixedOutcomes(),
                                                  ""}));
  EXPECT_EQ(upload["schema_version"], kSchemaVersion);
  EXPECT_EQ(upload["command"], "upload");
  EXPECT_EQ(upload["port"], json::parse(R"({"number": 3, "path": "/dev/ttyUSB3"})"));
  EXPECT_EQ(upload["file"]["data_blocks"], 32);
  EXPECT_EQ(upload["attempts"], 2);
  const struct {
    std::uint32_t serial;
    const char* outcome;
    json lastCode;
    json lastReply;
  } expected[] = {{1001, "passed", nullptr, nullptr},
                  {1002, "failed", 4, "CHECKSUM ERROR"},
                  {1003, "no_answer", nullptr, nullptr},
                  {1004, "type_error", nullptr, nullptr},
                  {2000, "passed", nullptr, nullptr}};
  ASSERT_EQ(upload["speakers"].size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const json& speaker = upload["speakers"][i];
    EXPECT_EQ(speaker["serial"], expected[i].serial);
    EXPECT_EQ(speaker["outcome"], expected[i].outcome) << expected[i].serial;
    EXPECT_EQ(speaker["last_code"], expected[i].lastCode) << expected[i].serial;
    EXPECT_EQ(speaker["last_reply"], expected[i].lastReply) << expected[i].serial;
  }
  EXPECT_EQ(upload["speakers"][0]["versions"],
            json::parse(R"({"boot_loader": 1.05, "application": 2.1, "test": null, "fpga": 1.0})"));
  EXPECT_EQ(upload["speakers"][4]["type"], nullptr);
  EXPECT_EQ(upload["speakers"][4]["model"], nullptr);
}

TEST(Records, EveryDocumentNamesItsSchemaAndCommandAndWritesAbsentFactsAsNull) {
  platform::SerialDevice adapter;
  adapter.path = "/dev/ttyACM0";
  adapter.vendorId = 0x2341;
  adapter.productId = 0x43;
  ImageInfo refused;
  refused.path = "/tmp/missing.syx";
  refused.refused = true;
  refused.refusal = "/tmp/missing.syx: not found";
  const std::pair<std::string, const char*> documents[] = {
      {ScanDocument({{}, {}}), R"({"port": null, "speakers": []})"},
      {ExitDocument({{0, "/dev/ttyUSB0"}, true, {{"Do you want to exit?", false}, {"OK", {}}}}),
       R"({"port": {"number": 0, "path": "/dev/ttyUSB0"}, "allowed": true, "prompts":
           [{"text": "Do you want to exit?", "answer": false}, {"text": "OK", "answer": null}]})"},
      {PortsDocument({adapter}),
       R"({"ports": [{"path": "/dev/ttyACM0", "aliases": [], "driver": null, "usb":
           {"vendor_id": "2341", "product_id": "0043", "manufacturer": null, "product": null,
            "serial": null}, "port_number": null}]})"},
      {InfoDocument(refused),
       R"({"file": {"path": "/tmp/missing.syx", "bytes": null, "sha256": null, "data_blocks": 0},
           "payload_bytes": 0, "header": null, "attempt_ms": null, "catalog": null,
           "refused": true, "refusal": "/tmp/missing.syx: not found"})"},
  };
  for (const auto& [document, fields] : documents) {
    json expected = json::parse(fields);
    const json parsed = json::parse(document);
    expected["schema_version"] = kSchemaVersion;
    expected["command"] = parsed["command"];
    EXPECT_EQ(parsed, expected) << document;
  }
}

TEST(Records, TimesAreUtcInIso8601) {
  using std::chrono::seconds;
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "1970-01-01T00:00:00Z"},
      {951782400, "2000-02-29T00:00:00Z"},
      {1709251199, "2024-02-29T23:59:59Z"},
      {-1, "1969-12-31T23:59:59Z"},
  };
  for (const auto& [since, expected] : cases)
    EXPECT_EQ(UtcTimestamp(std::chrono::system_clock::time_point(seconds(since))), expected);
}

class History : public ::testing::Test {
 protected:
  UploadRecord Upload(std::uint32_t serial) const {
    std::vector<SpeakerOutcome> outcomes = MixedOutcomes();
    outcomes.erase(outcomes.begin() + 1, outcomes.end());
    outcomes[0].speaker.serial = serial;
    return {"2024-05-01T09:30:00Z", {3, "/dev/ttyUSB3"}, "TarnS1V1.23.syx", "ab12", outcomes};
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  testing_support::TempFolder folder;
  const std::string path = (folder.path / "state/flashdesk/history.jsonl").string();
  UploadHistory history{path};
};

TEST_F(History, AppendsWholeLinesReadsThemBackBySerialAndSkipsABrokenLine) {
  ASSERT_TRUE(history.Append(Upload(1001)));
  // A broken line, and a last one cut short: the next append starts a fresh line.
  std::ofstream(path, std::ios::app) << "not json\n"
                                     << R"({"time": "2024-05-01T09:31:00Z", "spe)";
  ASSERT_TRUE(history.Append(Upload(1002)));
  EXPECT_EQ(Lines().size(), 4u);
  const UploadHistory::Reading all = history.Read();
  ASSERT_EQ(all.records.size(), 2u);
  EXPECT_EQ(HistoryLine(all.records[1]), HistoryLine(Upload(1002))) << "read back unchanged";
  ASSERT_EQ(all.skipped.size(), 2u);
  EXPECT_EQ(all.skipped[0].line, 2);
  EXPECT_EQ(json::parse(HistoryDocument(all.records, all.skipped))["skipped_lines"][1]["line"], 3);
  const UploadHistory::Reading one = history.Read(1002);
  ASSERT_EQ(one.records.size(), 1u);
  EXPECT_EQ(one.records[0].speakers[0].speaker.serial, 1002u);
  EXPECT_TRUE(history.Read(7).records.empty());
  EXPECT_TRUE(UploadHistory((folder.path / "none.jsonl").string()).Read().records.empty());
}

TEST_F(History, AnUnwritableStateFolderGivesFalseAndATraceLine) {
  std::ofstream(folder.path / "a file") << "x";
  fs::create_directories(folder.path / "a folder");
  std::vector<std::string> paths = {(folder.path / "a file/flashdesk/history.jsonl").string(),
                                    (folder.path / "a folder").string(), ""};
#ifdef __linux__
  paths.push_back("/proc/flashdesk/history.jsonl");  // read-only even for root
#endif
  for (const std::string& unwritable : paths) {
    fakes::TraceCapture trace;
    EXPECT_FALSE(UploadHistory(unwritable).Append(Upload(1001))) << unwritable;
    ASSERT_EQ(trace.Lines().size(), 1u) << unwritable;
    EXPECT_NE(trace.Lines()[0].find("not written"), std::string::npos) << trace.Lines()[0];
  }
}

}  // namespace
}  // namespace flashdesk::records
