// What `info` reports of an image, the outcomes per speaker, the JSON documents and the upload
// history file.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>

#include "engine/ImageFile.h"
#include "platform/Sha256.h"
#include "protocol/Protocol.h"
#include "records/ImageInfo.h"
#include "records/JsonDocuments.h"
#include "records/UploadHistory.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk::records {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using testing_support::ImageBytes;
using testing_support::TempFolder;

TEST(ImageInfo, DescribesOurSampleImagesAsTheListAndTheEngineSeeThem) {
  TempFolder folder;
  for (const sim::SampleFile& sample : sim::SampleFirmwareFiles()) {
    const ImageInfo info = DescribeImage(folder.Write(sample.name, sample.bytes));
    platform::Sha256 sha;
    sha.Add(sample.bytes.data(), sample.bytes.size());
    EXPECT_EQ(info.sha256, sha.HexDigest()) << sample.name;
    EXPECT_EQ(info.fileBytes, 2055) << sample.name;
    EXPECT_EQ(info.payloadBytes, 2048) << sample.name;
    EXPECT_EQ(info.dataBlocks, 32) << sample.name;
    ASSERT_TRUE(!info.refused && info.sentHeader && info.catalog) << sample.name;
    const auto& header = *info.sentHeader;
    EXPECT_TRUE(std::equal(header.begin(), header.end(), sample.bytes.begin())) << sample.name;
    // Applications name their model in header byte 1, boot loader and test software 0.
    EXPECT_EQ(info.catalog->modelType.value_or(0), header[1]) << sample.name;
    EXPECT_EQ(info.catalog->kind, header[2]) << sample.name;
    EXPECT_EQ(info.catalog->version, sample.bytes[3] * 100 + sample.bytes[4]) << sample.name;
  }
  for (const char* name : {"TarnS2V2.10.bin", "TarnS9V1.00.syx"})
    EXPECT_FALSE(ReadCatalogName(name)) << name << ": no model's list offers it";
}

TEST(ImageInfo, RefusedFilesHaveNoPacingAndUnreadableOnesNoSizeOrDigest) {
  TempFolder folder;
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool header;
  } cases[] = {
      {"two bytes.syx", {0, 4}, false},
      {"header byte 1 at 0x80.syx", ImageBytes(2, 10, 0x80), true},
  };
  for (const auto& c : cases) {
    const ImageInfo info = DescribeImage(folder.Write(c.name, c.bytes));
    EXPECT_TRUE(info.refused && info.readable) << c.name;
    EXPECT_NE(info.refusal.find(c.name), std::string::npos) << info.refusal;
    EXPECT_EQ(info.fileBytes, static_cast<std::int64_t>(c.bytes.size())) << c.name;
    EXPECT_EQ(info.sentHeader.has_value(), c.header) << c.name;
    EXPECT_EQ(info.attemptMs, 0) << c.name;
  }
  for (const std::string& path : {(folder.path / "missing.syx").string(), folder.path.string()}) {
    const ImageInfo info = DescribeImage(path);
    EXPECT_TRUE(info.refused && !info.readable && info.sha256.empty()) << path;
  }
}

TEST(ImageInfo, AFileTooLongToSendIsMeasuredButNeitherReadNorHashed) {
  TempFolder folder;
  for (const std::uintmax_t extra : {0, 1}) {
    const std::string path = folder.Write("image.syx", {2, 4, 3});
    const std::uintmax_t size = ImageHead::kHeaderBytes + ImageHead::kLargestPayload + extra;
    fs::resize_file(path, size);
    const ImageInfo info = DescribeImage(path);
    EXPECT_TRUE(info.readable && info.sentHeader) << size;
    EXPECT_EQ(info.fileBytes, static_cast<std::int64_t>(size));
    EXPECT_EQ(info.refused, extra > 0) << info.refusal;
    EXPECT_EQ(info.sha256.empty(), extra > 0) << size;
  }
}

TEST(ImageInfo, TheExpectedAttemptTimeIsWhatTheEngineTakesInVirtualTime) {
  TempFolder folder;
  for (const std::int32_t payload : {1, 66 * 40 + 1}) {
    testing_support::VirtualRig rig;
    rig.bus.AddSpeaker(testing_support::VirtualRig::CompleteSpeaker(1001));
    rig.engine.ScanNetwork();
    const std::string path =
        folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, payload - 2));
    const std::int64_t startMs = rig.line.NowMs();
    ASSERT_TRUE(rig.engine.Upload(path, 3).done);
    const std::int64_t takenMs = rig.line.NowMs() - startMs;
    const std::int64_t expectedMs = DescribeImage(path).attemptMs;
    // Replies may add a few milliseconds of reading; any pause out of step adds more.
    EXPECT_GE(takenMs, expectedMs) << payload;
    EXPECT_LE(takenMs, expectedMs + 5) << payload;
  }
}

SpeakerFacts Speaker(std::uint32_t serial) {
  SpeakerRecord record;
  record.type = 4;
  record.entries[0] = {kKindBoot, 1, 5};
  record.entries[1] = {4, 2, 10};
  record.entries[2] = {kKindFpga, 1, 0};
  record.entries[3] = {kEmptySlotKind, 0, 0};  // no test software
  return {serial, 4, "TARN-S1", VersionsOf(record)};
}

TEST(Records, EachSpeakerGetsTheOutcomeItsLastDecidingReplyGivesAndScriptsSeeIt) {
  // Passed after a failed attempt, failed after READY, READY only, TYPE ERROR, and a serial the
  // table lacks.
  UploadResult result;
  const std::vector<LogEvent> events = {
      {1001, kReplyReady},         {1002, kReplyReady},         {1003, kReplyReady},
      {1002, kReplyCountError},    {1002, kReplyChecksumError}, {1004, kReplyTypeError},
      {1001, kReplyChecksumError}, {1001, kReplyDone},          {2000, kReplyDone}};
  result.speakers =
      OutcomesOf({Speaker(1001), Speaker(1002), Speaker(1003), Speaker(1004)}, events);
  const json speakers = json::parse(UploadDocument(result))["speakers"];
  json outcomes;
  for (const json& speaker : speakers)
    outcomes.push_back({speaker["outcome"], speaker["last_code"], speaker["last_reply"]});
  EXPECT_EQ(outcomes, json::parse(R"([["passed", null, null], ["failed", 4, "CHECKSUM ERROR"],
      ["no_answer", null, null], ["type_error", null, null], ["passed", null, null]])"));
  EXPECT_EQ(speakers[0], json::parse(R"({"serial": 1001, "type": 4, "model": "TARN-S1",
      "versions": {"boot_loader": 1.05, "application": 2.1, "test": null, "fpga": 1.0},
      "outcome": "passed", "last_code": null, "last_reply": null, "verify": null})"));
  EXPECT_EQ(speakers[4]["serial"], 2000);
  EXPECT_EQ(speakers[4]["type"], nullptr);
  EXPECT_EQ(speakers[4]["model"], nullptr);
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
  ExitResult exit;
  exit.port = {0, "/dev/ttyUSB0"};
  exit.allowed = true;
  exit.prompts = {{"Do you want to exit?", false}, {"OK", {}}};
  UploadResult upload;
  upload.port = {3, "/dev/ttyUSB3"};
  upload.file = {"a.syx", 2055, "ab12", 32};
  upload.attempts = 2;
  upload.status = "Status";
  upload.attemptErrors = {{}, {{1002, kReplyChecksumError}}};
  upload.culprits = {1002};
  SpeakerOutcome checked{Speaker(1001), Outcome::kPassed, std::nullopt,
                         VersionCheck{Verification::kVersionDiffers, 201, 234}};
  checked.speaker.versions = {};
  UploadResult verified = upload;
  verified.speakers = {checked};
  ScanResult tried;
  tried.portsTried = {{"/dev/ttyUSB0", 0, "permission"}, {"/dev/x", {}, "silent"}};
  const std::pair<std::string, const char*> documents[] = {
      {UploadDocument(upload),
       R"({"port": {"number": 3, "path": "/dev/ttyUSB3"}, "file": {"path": "a.syx", "bytes": 2055,
           "sha256": "ab12", "data_blocks": 32}, "attempts": 2, "succeeded": false,
           "status": "Status", "speakers": [], "refusal": null, "attempt_errors": [[],
           [{"serial": 1002, "code": 4, "reply": "CHECKSUM ERROR"}]], "culprits": [1002],
           "ports_tried": []})"},
      {FlashDocument({verified, std::nullopt, false}),
       R"({"port": {"number": 3, "path": "/dev/ttyUSB3"}, "file": {"path": "a.syx", "bytes": 2055,
           "sha256": "ab12", "data_blocks": 32}, "attempts": 2, "upload_succeeded": false,
           "succeeded": false, "status": "Status", "refusal": null, "attempt_errors": [[],
           [{"serial": 1002, "code": 4, "reply": "CHECKSUM ERROR"}]], "culprits": [1002],
           "ports_tried": [], "exit": null, "speakers": [{"serial": 1001, "type": 4,
           "model": "TARN-S1", "versions": {"boot_loader": null, "application": null,
           "test": null, "fpga": null}, "outcome": "passed", "last_code": null,
           "last_reply": null, "verify": {"result": "version_differs", "has": 2.01,
           "file_says": 2.34}}]})"},
      {ScanDocument(tried),
       R"({"port": null, "speakers": [], "ports_tried": [{"path": "/dev/ttyUSB0", "number": 0,
           "problem": "permission"}, {"path": "/dev/x", "number": null, "problem": "silent"}]})"},
      {ExitDocument(exit),
       R"({"port": {"number": 0, "path": "/dev/ttyUSB0"}, "allowed": true, "prompts":
           [{"text": "Do you want to exit?", "answer": false}, {"text": "OK", "answer": null}],
           "speakers": []})"},
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

TEST(Records, TheTriedPortsAreThoseThatExistOrThatTheUserNamed) {
  using platform::SerialProblem;
  ScanOutcome scan;
  scan.portsTried = {{"/dev/ttyUSB0", 0, SerialProblem::kMissing},
                     {"/dev/ttyUSB1", 1, SerialProblem::kPermission},
                     {"/dev/ttyUSB2", 2, std::nullopt},
                     {"/dev/ttyACM9", -1, SerialProblem::kMissing},
                     {"/dev/ttyS4", 4, SerialProblem::kInUse}};
  std::vector<std::tuple<std::string, std::optional<std::int32_t>, std::string>> tried;
  for (const TriedPortFacts& port : TriedPortsOf(scan))
    tried.emplace_back(port.path, port.number, port.problem);
  EXPECT_EQ(tried, (decltype(tried){{"/dev/ttyUSB1", 1, "permission"},
                                    {"/dev/ttyUSB2", 2, "silent"},
                                    {"/dev/ttyACM9", std::nullopt, "missing"},
                                    {"/dev/ttyS4", 4, "in_use"}}));
}

TEST(Records, TimesAreUtcInIso8601) {
  using std::chrono::seconds;
  const std::pair<std::int64_t, const char*> cases[] = {
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
    const SpeakerOutcome failed{Speaker(serial), Outcome::kFailed, kReplyChecksumError, {}};
    return {"2024-05-01T09:30:00Z", {3, "/dev/ttyUSB3"}, "TarnS1V1.23.syx", "ab12", {failed}};
  }
  TempFolder folder;
  const std::string path = (folder.path / "state/flashdesk/history.jsonl").string();
  UploadHistory history{path};
};

TEST_F(History, AppendsWholeLinesReadsThemBackAndSkipsABrokenLine) {
  ASSERT_TRUE(history.Append(Upload(1001)));
  // A broken line, and a last one cut short: the next append starts a fresh line.
  std::ofstream(path, std::ios::app) << "not json\n"
                                     << R"({"time": "2024-05-01T09:31:00Z", "spe)";
  ASSERT_TRUE(history.Append(Upload(1002)));
  const UploadHistory::Reading all = history.Read();
  ASSERT_EQ(all.records.size(), 2u);
  EXPECT_EQ(HistoryLine(all.records[1]), HistoryLine(Upload(1002))) << "read back unchanged";
  ASSERT_EQ(all.skipped.size(), 2u);
  EXPECT_EQ(all.skipped[0].line, 2);
  EXPECT_EQ(json::parse(HistoryDocument(all.records, all.skipped))["skipped_lines"][1]["line"], 3);
  EXPECT_TRUE(UploadHistory((folder.path / "none.jsonl").string()).Read().records.empty());
}

TEST_F(History, ANumberOutOfRangeSkipsItsLineAndNamesTheFieldWhileTheBoundsThemselvesRead) {
  const std::string good = HistoryLine(Upload(1001));
  const struct {
    const char* field;  // as written by HistoryLine
    const char* written;
    const char* problem;  // nullptr: the line reads, and writes back the same
  } cases[] = {
      {"\"serial\":1001", "\"serial\":-1", "serial"},
      {"\"serial\":1001", "\"serial\":7.8e45", "serial"},
      {"\"serial\":1001", "\"serial\":268435456", "serial"},
      {"\"serial\":1001", "\"serial\":18446744073709551615", "serial"},
      {"\"serial\":1001", "\"serial\":268435455", nullptr},
      {"\"type\":4", "\"type\":128", "type"},
      {"\"type\":4", "\"type\":127", nullptr},
      {"\"last_code\":4", "\"last_code\":259", "last_code"},
      {"\"last_code\":4", "\"last_code\":127", nullptr},
      {"\"number\":3", "\"number\":32768", "port number"},
      {"\"number\":3", "\"number\":-2", "port number"},
      {"\"number\":3", "\"number\":-1", nullptr},
      {"\"boot_loader\":1.05", "\"boot_loader\":-0.01", "version boot_loader"},
      {"\"application\":2.1", "\"application\":257.56", "version application"},
      {"\"application\":2.1", "\"application\":257.55", nullptr},
  };
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path);
  for (const auto& c : cases) {
    std::string line = good;
    const std::size_t at = line.find(c.field);
    ASSERT_NE(at, std::string::npos) << c.field;
    out << line.replace(at, std::strlen(c.field), c.written) << '\n';
  }
  out.close();
  const UploadHistory::Reading reading = history.Read();
  std::size_t read = 0;
  std::size_t skipped = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    if (cases[i].problem == nullptr) {
      ASSERT_LT(read, reading.records.size()) << cases[i].written;
      EXPECT_NE(HistoryLine(reading.records[read++]).find(cases[i].written), std::string::npos)
          << cases[i].written;
    } else {
      ASSERT_LT(skipped, reading.skipped.size()) << cases[i].written;
      const SkippedLine& line = reading.skipped[skipped++];
      EXPECT_EQ(line.line, static_cast<std::int64_t>(i + 1)) << cases[i].written;
      EXPECT_EQ(line.problem.rfind(cases[i].problem, 0), 0u) << line.problem;
    }
  }
  EXPECT_EQ(read + skipped, reading.records.size() + reading.skipped.size());
}

TEST_F(History, ReadingHoldsNoOverlongLineAndStopsAtItsLimitNamingWhatItLeftOut) {
  ASSERT_TRUE(history.Append(Upload(1001)));
  std::ofstream(path, std::ios::app | std::ios::binary)
      << std::string(UploadHistory::kMaxLineBytes, 'x') << '\n'
      << std::string(UploadHistory::kMaxLineBytes + 1, 'x') << '\n';
  ASSERT_TRUE(history.Append(Upload(1002)));
  // Zeros to past the limit: a last line without end, as a link to /dev/zero would give.
  fs::resize_file(path, static_cast<std::uintmax_t>(UploadHistory::kMaxReadBytes) + 4096);
  const UploadHistory::Reading reading = history.Read();
  EXPECT_EQ(reading.records.size(), 2u);
  const std::pair<std::int64_t, const char*> expected[] = {
      {2, "not a JSON object"}, {3, "longer than"}, {5, "beyond the first"}};
  ASSERT_EQ(reading.skipped.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(reading.skipped[i].line, expected[i].first);
    EXPECT_EQ(reading.skipped[i].problem.rfind(expected[i].second, 0), 0u)
        << reading.skipped[i].problem;
  }
}

TEST_F(History, OnlyARegularFileIsReadAFolderAFifoOrADeviceIsNamed) {
  std::vector<fs::path> others = {folder.path};
#ifndef _WIN32
  others.push_back(folder.path / "device");
  fs::create_symlink("/dev/null", others.back());
  // Last: a reader that opens it blocks until a writer comes.
  others.push_back(folder.path / "fifo");
  ASSERT_EQ(::mkfifo(others.back().c_str(), 0600), 0);
#endif
  for (const fs::path& other : others) {
    const UploadHistory::Reading reading = UploadHistory(other.string()).Read();
    EXPECT_NE(reading.problem.find("not a regular file"), std::string::npos) << other;
  }
}

TEST_F(History, AnUnwritableStateFolderGivesFalseAndATraceLine) {
  // A state folder below a plain file is the upload tests'.
  fs::create_directories(folder.path / "a folder");
  for (const std::string& unwritable : {(folder.path / "a folder").string(), std::string()}) {
    fakes::TraceCapture trace;
    EXPECT_FALSE(UploadHistory(unwritable).Append(Upload(1001))) << unwritable;
    ASSERT_EQ(trace.Lines().size(), 1u) << unwritable;
    EXPECT_NE(trace.Lines()[0].find("not written"), std::string::npos) << trace.Lines()[0];
  }
}

}  // namespace
}  // namespace flashdesk::records
