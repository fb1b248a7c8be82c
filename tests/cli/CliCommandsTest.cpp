#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/CommandLine.h"
#include "protocol/Protocol.h"
#include "records/UploadHistory.h"
#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "testing/EngineRig.h"
#include "testing/VirtualLine.h"
#include "tests/platform/FakeDeviceTree.h"
#include "transport/Comm.h"

namespace flashdesk::cli {
namespace {

sim::SpeakerConfig Speaker(std::uint32_t serial, std::vector<SoftwareEntry> software) {
  sim::SpeakerConfig config;
  config.serial = serial;
  config.type = 4;
  config.software = std::move(software);
  return config;
}

std::string Joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments)
    text += argument + " ";
  return text;
}

// flashdesk-cli in process over a simulated bus at port 3, in virtual time.
class VirtualCli {
 public:
  int Run(const std::vector<std::string>& arguments, const std::string& answers = "") {
    input.str(answers);
    input.clear();
    output.str({});
    errors.str({});
    CliEnvironment environment{line,   line,  store, input,   output,
                               errors, false, watch, nullptr, roots};
    std::vector<std::string> all{"flashdesk-cli"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunCommandLine(all, environment);
  }
  bool Printed(const std::string& text) const {
    return output.str().find(text) != std::string::npos;
  }

  sim::SpeakerBus bus;
  sim::VirtualLine line{bus, 3};
  testing_support::MemoryStore store;
  std::function<void(SpeakerNetwork*)> watch;
  // Never the machine's own devices.
  platform::DiscoveryRoots roots{"/nonexistent/sys", "/nonexistent/dev"};
  std::istringstream input;
  std::ostringstream output;
  std::ostringstream errors;
};

class CliCommands : public ::testing::Test {
 protected:
  // Named by the bytes given: a path object would re-encode the name on Windows.
  std::string Image(std::uint8_t model, std::int32_t payloadLength,
                    const std::string& name = "app.syx") {
    const std::string path = folder.path.string() + "/" + name;
    const std::vector<std::uint8_t> bytes =
        sim::BuildFirmwareImage(kKindApplication, model, 2, 1, payloadLength - 2);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  VirtualCli cli;
  testing_support::TempFolder folder;
};

// Usage errors are found before the scan, so no port is touched.
TEST_F(CliCommands, MistakesExitWithTwoAndSayWhatIsWrong) {
  const std::string shortImage = folder.Write("short.syx", {0, 1, 2, 3, 4, 5, 6});
  const std::string highHeader = folder.Write("high.syx", testing_support::ImageBytes(0x80, 9));
  const struct {
    std::vector<std::string> arguments;
    const char* complaint;
  } cases[] = {
      {{}, "no command given"},
      {{"flash"}, "unknown command 'flash'"},
      {{"upload"}, "upload needs the firmware FILE"},
      {{"scan", "extra"}, "unexpected argument 'extra'"},
      {{"upload", "a.syx", "b.syx"}, "unexpected argument 'b.syx'"},
      {{"scan", "--yes"}, "--yes applies to exit only"},
      {{"ports", "--port", "/dev/ttyACM0"}, "--port applies to scan, upload and exit"},
      {{"--frobnicate", "scan"}, "frobnicate"},
      {{"--port-template"}, "port-template"},
      {{"--port-template", "/dev/ttyS", "scan"}, "exactly one %i"},
      {{"--port-template", "/dev/%i/tty%i", "scan"}, "exactly one %i"},
      {{"upload", (folder.path / "none.syx").string()}, "cannot read firmware file"},
      {{"upload", folder.path.string()}, "not a regular file"},
      {{"upload", shortImage}, "is not a firmware image"},
      {{"upload", highHeader}, "is not a firmware image"},
  };
  for (const auto& example : cases) {
    const std::string label = Joined(example.arguments);
    EXPECT_EQ(cli.Run(example.arguments), kExitUsage) << label;
    EXPECT_NE(cli.errors.str().find(example.complaint), std::string::npos)
        << label << ": " << cli.errors.str();
    EXPECT_NE(cli.errors.str().find("--help"), std::string::npos) << label;
    EXPECT_EQ(cli.output.str(), "") << label;
  }
  EXPECT_TRUE(cli.line.OpenAttempts().empty());
  EXPECT_TRUE(cli.store.writes.empty());
}

TEST_F(CliCommands, HelpAndVersionAnswerWithoutAScan) {
  EXPECT_EQ(cli.Run({"--help"}), kExitSuccess);
  for (const char* word :
       {"scan", "upload FILE", "exit", "ports", "--yes", "--port-template", "--port PATH"}) {
    EXPECT_TRUE(cli.Printed(word)) << word;
  }
  EXPECT_EQ(cli.Run({"--version"}), kExitSuccess);
  EXPECT_EQ(cli.output.str().rfind("flashdesk-cli ", 0), 0u) << cli.output.str();
  EXPECT_TRUE(cli.line.OpenAttempts().empty());
}

TEST_F(CliCommands, ScanListsThePortAndEverySpeakerOrSaysThereAreNone) {
  EXPECT_EQ(cli.Run({"scan"}), kExitFailure);
  EXPECT_TRUE(cli.Printed("No speakers found.")) << cli.output.str();
  EXPECT_EQ(cli.store.stored, "-1");

  cli.bus.AddSpeaker(Speaker(1234567, {{0, 1, 0}, {1, 1, 5}, {4, 2, 10}}));
  cli.bus.AddSpeaker(Speaker(42, {{1, 1, 0}}));
  EXPECT_EQ(cli.Run({"scan"}), kExitSuccess);
  EXPECT_TRUE(cli.Printed("Port: 3 (virtual:3)\nSpeakers: 2\n")) << cli.output.str();
  EXPECT_TRUE(
      cli.Printed("1234567  TARN-S1     boot 1.05  application 2.10  test missing  fpga 1.00"))
      << cli.output.str();
  EXPECT_TRUE(
      cli.Printed("42  TARN-S1     boot 1.00  application missing  test missing  fpga missing"))
      << cli.output.str();
  EXPECT_EQ(cli.store.stored, "3");
}

// The fake device tree is a Linux sysfs; Windows lists its ports from the registry.
#ifndef _WIN32
TEST_F(CliCommands, PortsPinnedPortsAndFailedSearchesSayWhereToLook) {
  testing_support::FakeTree tree;
  const auto usb = tree.Usb("1-4", {{"idVendor", "2341"},
                                    {"idProduct", "0043"},
                                    {"manufacturer", "Arduino"},
                                    {"product", "Uno"}});
  tree.Tty("ttyACM0", usb / "1-4:1.0", "cdc_acm");
  const std::string acm = tree.Dev("ttyACM0");
  const struct {
    const char* label;
    int speakers;
    bool heldElsewhere;
    std::vector<std::string> arguments;
    int exitCode;
    std::string printed;
    const char* notPrinted;
    bool savesPort;
  } cases[] = {
      {"ports",
       0,
       false,
       {"ports"},
       kExitSuccess,
       acm + "  USB 2341:0043  Arduino  Uno  not covered by the template\n",
       "Port:",
       false},
      {"none found: the devices never tried",
       0,
       false,
       {"scan"},
       kExitFailure,
       "No speakers found.\nSerial devices the port search does not try:\n  --port " + acm,
       "in use",
       true},
      {"pinned port",
       1,
       false,
       {"scan", "--port", "virtual:3"},
       kExitSuccess,
       "Port: virtual:3\nSpeakers: 1\n",
       "not listed",
       false},
      {"pinned port silent: no hint",
       1,
       false,
       {"--port", "virtual:5", "upload", ""},
       kExitFailure,
       "No speakers found.\n",
       "--port",
       false},
      {"port held",
       1,
       true,
       {"scan"},
       kExitFailure,
       "No speakers found.\nvirtual:3 is in use by another program",
       "Speakers:",
       false},
      {"more than the table holds",
       19,
       false,
       {"scan"},
       kExitSuccess,
       "more speakers than FlashDesk can list and check (1 not listed)",
       "No speakers",
       true},
  };
  for (const auto& example : cases) {
    VirtualCli run;
    run.roots = tree.Roots();
    for (int serial = 1; serial <= example.speakers; ++serial)
      run.bus.AddSpeaker(Speaker(static_cast<std::uint32_t>(serial), {{1, 1, 0}}));
    Comm otherProgram(run.line);
    if (example.heldElsewhere) {
      ASSERT_TRUE(otherProgram.Open(3)) << example.label;
    }
    std::vector<std::string> arguments = example.arguments;
    if (arguments.back().empty())
      arguments.back() = Image(4, 200);
    EXPECT_EQ(run.Run(arguments), example.exitCode) << example.label << "\n" << run.errors.str();
    EXPECT_TRUE(run.Printed(example.printed)) << example.label << ":\n" << run.output.str();
    EXPECT_FALSE(run.Printed(example.notPrinted)) << example.label << ":\n" << run.output.str();
    EXPECT_EQ(run.store.writes.empty(), !example.savesPort) << example.label;
    const std::vector<std::int16_t> opens = run.line.OpenAttempts();
    EXPECT_EQ(std::count(opens.begin(), opens.end(), -1), 0) << example.label << ": only ports";
  }
}
#endif

TEST_F(CliCommands, UploadStatusLineAndExitCodeFollowTheOutcome) {
  cli.bus.AddSpeaker(Speaker(10, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}}));
  // A name is bytes: it need not be valid UTF-8 to be uploaded.
  EXPECT_EQ(cli.Run({"upload", Image(4, 200, "caf\xe9-\xff.syx")}), kExitSuccess)
      << cli.errors.str();
  EXPECT_TRUE(cli.Printed("Status: Upload Complete\n 1 Speaker(s) Passed:\n    - Serial: 10\n"))
      << cli.output.str();
  EXPECT_NE(cli.errors.str().find("Progress: 100 %\n"), std::string::npos);
  EXPECT_EQ(cli.errors.str().find('\r'), std::string::npos) << "no bar when not a terminal";
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kBoot) << "the speakers wait for the exit";

  // Every speaker refuses an image for another model: the window's status line, yet a script
  // must not take it for success.
  EXPECT_EQ(cli.Run({"upload", Image(5, 200)}), kExitFailure);
  EXPECT_TRUE(cli.Printed("Status: Upload Complete\n 0 Speaker(s) Passed:\n")) << cli.output.str();
  EXPECT_NE(cli.errors.str().find("no speaker took the image"), std::string::npos);

  // An image swapped for a broken one during the scan: the upload says why it sent nothing.
  const std::string swapped = Image(4, 200, "swapped.syx");
  cli.watch = [&](SpeakerNetwork* engine) {
    if (engine)
      folder.Write("swapped.syx", {1, 2, 3});
  };
  EXPECT_EQ(cli.Run({"upload", swapped}), kExitFailure);
  EXPECT_NE(cli.errors.str().find(swapped + ": "), std::string::npos) << cli.errors.str();
  cli.watch = {};

  // Nothing was heard, yet nothing was uploaded either: never "Upload Complete".
  VirtualCli noNetwork;
  EXPECT_EQ(noNetwork.Run({"upload", Image(4, 200)}), kExitFailure);
  EXPECT_TRUE(
      noNetwork.Printed("Status: One Or More Errors May Have Occoured\n 0 Speaker(s) "
                        "Passed:\n 0 Speaker(s) Failed:\n"))
      << noNetwork.output.str();
}

TEST_F(CliCommands, ExitAsksOnTheTerminalAndReturnsTheSpeakersToApplicationMode) {
  const std::vector<SoftwareEntry> complete = {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}};
  const std::vector<SoftwareEntry> noApplication = {{0, 1, 0}, {1, 1, 0}};
  const char* const yesShown =
      "no valid application\n\nIf you exit now your system might crash"
      "\n\nDo you want to exit?\n[y/N] yes";
  const struct {
    std::vector<SoftwareEntry> software;
    std::vector<std::string> arguments;
    std::string answers;
    int exitCode;
    const char* printed;
  } cases[] = {
      {complete, {"exit"}, "", kExitSuccess, "port closed"},
      {noApplication, {"exit", "--yes"}, "", kExitSuccess, yesShown},
      {noApplication, {"exit"}, "n\n", kExitFailure, "Status: \n"},
      {{{0, 1, 0}, {4, 1, 0}}, {"exit", "--yes"}, "", kExitFailure, "missing a boot software\n"},
  };
  for (const auto& example : cases) {
    VirtualCli run;
    run.bus.AddSpeaker(Speaker(5, example.software));
    const std::string label = Joined(example.arguments) + " " + example.printed;
    EXPECT_EQ(run.Run(example.arguments, example.answers), example.exitCode) << label;
    EXPECT_TRUE(run.Printed(example.printed)) << label << ":\n" << run.output.str();
    EXPECT_TRUE(run.Printed("Status: Closing.... Please wait!!!\n")) << label;
    EXPECT_EQ(run.bus.Speaker(0).mode, example.exitCode == kExitSuccess
                                           ? sim::SpeakerMode::kApplication
                                           : sim::SpeakerMode::kBoot)
        << label;
  }
}

#ifdef _WIN32
constexpr const char* kStateVariable = "LOCALAPPDATA";
void SetVariable(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
}
#else
constexpr const char* kStateVariable = "XDG_STATE_HOME";
void SetVariable(const char* name, const std::string& value) {
  setenv(name, value.c_str(), 1);
}
#endif

// The --json documents, the info command and the upload history; each test has its own state
// folder.
class CliRecords : public CliCommands {
 protected:
  void SetUp() override { SetVariable(kStateVariable, (folder.path / "state").string()); }
  void TearDown() override { SetVariable(kStateVariable, suiteState); }

  nlohmann::json Document() const {
    return nlohmann::json::parse(cli.output.str(), nullptr, false);
  }

  const char* const saved = std::getenv(kStateVariable);
  const std::string suiteState = saved != nullptr ? saved : "";
};

TEST_F(CliRecords, EveryJsonDocumentIsAloneOnTheOutputWithItsFields) {
  cli.bus.AddSpeaker(Speaker(1001, {{0, 1, 0}, {1, 1, 5}, {4, 1, 0}}));
  sim::SpeakerConfig failing = Speaker(1002, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}});
  sim::SpeakerConfig silent = Speaker(1003, {{0, 1, 0}, {1, 1, 0}});
  for (std::int32_t attempt = 1; attempt <= 3; ++attempt) {
    failing.injectedErrors.push_back({attempt, 3, kReplyChecksumError});
    // READY instead of a block: it stops listening and never reports an outcome.
    silent.injectedErrors.push_back({attempt, 3, kReplyReady});
  }
  cli.bus.AddSpeaker(failing);
  cli.bus.AddSpeaker(silent);
  const std::string image = Image(4, 400, "TarnS1V1.23.syx");
  const std::string refused = folder.Write("short.syx", {0, 1, 2, 3, 4, 5, 6});
  using Fields = std::vector<const char*>;
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    Fields fields;
  } cases[] = {
      {{"scan", "--json"}, kExitSuccess, {"port", "speakers"}},
      {{"upload", image, "--json"},
       kExitFailure,
       {"port", "file", "attempts", "succeeded", "status", "refusal", "speakers"}},
      {{"--json", "upload", refused}, kExitUsage, {"file", "attempts", "refusal", "speakers"}},
      {{"exit", "--yes", "--json"}, kExitSuccess, {"port", "allowed", "prompts"}},
      {{"info", image, "--json"},
       kExitSuccess,
       {"file", "payload_bytes", "header", "attempt_ms", "catalog", "refused", "refusal"}},
      {{"history", "--json"}, kExitSuccess, {"uploads", "skipped_lines"}},
  };
  std::vector<nlohmann::json> documents;
  for (const auto& example : cases) {
    const std::string label = Joined(example.arguments);
    EXPECT_EQ(cli.Run(example.arguments), example.exitCode) << label << cli.errors.str();
    documents.push_back(Document());
    const nlohmann::json& document = documents.back();
    ASSERT_TRUE(document.is_object()) << label << ":\n" << cli.output.str();
    EXPECT_EQ(document["schema_version"], 1) << label;
    EXPECT_EQ(document["command"], example.arguments[example.arguments[0] == "--json"]) << label;
    for (const char* field : example.fields)
      EXPECT_TRUE(document.contains(field)) << label << ": " << field;
  }
  const nlohmann::json& scan = documents[0];
  EXPECT_EQ(scan["port"], nlohmann::json({{"number", 3}, {"path", "virtual:3"}}));
  EXPECT_EQ(scan["speakers"][0]["versions"],
            nlohmann::json::parse(
                R"({"boot_loader": 1.05, "application": 1.0, "test": null, "fpga": 1.0})"));
  EXPECT_EQ(scan["speakers"][2]["versions"]["application"], nullptr);

  const nlohmann::json& upload = documents[1];
  EXPECT_EQ(upload["attempts"], 3);
  EXPECT_EQ(upload["succeeded"], false);
  EXPECT_EQ(upload["file"]["data_blocks"], 7);
  ASSERT_EQ(upload["speakers"].size(), 3u);
  EXPECT_EQ(upload["speakers"][1]["outcome"], "failed");
  EXPECT_EQ(upload["speakers"][1]["last_code"], kReplyChecksumError);
  EXPECT_EQ(upload["speakers"][2]["outcome"], "no_answer");
  EXPECT_EQ(upload["speakers"][2]["last_code"], nullptr);
  EXPECT_NE(documents[2]["refusal"].get<std::string>().find("too short"), std::string::npos);
  EXPECT_EQ(documents[2]["attempts"], 0);
  EXPECT_EQ(documents[3]["allowed"], true);
  ASSERT_EQ(documents[3]["prompts"].size(), 1u) << documents[3];
  EXPECT_EQ(documents[3]["prompts"][0]["answer"], true);
  EXPECT_EQ(documents[5]["uploads"].size(), 1u) << "a refused file is never uploaded";
}

TEST_F(CliRecords, InfoTellsWhatWouldBeSentOrWhyNotWithoutAPort) {
  const struct {
    std::string path;
    int exitCode;
    std::string printed;
  } cases[] = {
      {Image(4, 200, "TarnS1V1.23.syx"), kExitSuccess, "Firmware list: TARN-S1 application 1.23"},
      {Image(4, 200), kExitSuccess, "Data blocks: 4 of up to 66 bytes"},
      {folder.Write("high.syx", testing_support::ImageBytes(0x80, 9)), kExitFailure,
       "Refused: " + folder.path.string()},
      {(folder.path / "none.syx").string(), kExitFailure, "Refused: "},
  };
  for (const auto& example : cases) {
    EXPECT_EQ(cli.Run({"info", example.path}), example.exitCode) << example.path;
    EXPECT_TRUE(cli.Printed(example.printed)) << cli.output.str();
    EXPECT_EQ(cli.Run({"info", "--json", example.path}), example.exitCode) << example.path;
    EXPECT_EQ(Document()["refused"], example.exitCode != kExitSuccess) << cli.output.str();
  }
  EXPECT_TRUE(cli.line.OpenAttempts().empty());
}

TEST_F(CliRecords, HistoryKeepsEveryCliUploadAndSkipsABrokenLine) {
  cli.bus.AddSpeaker(Speaker(10, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}}));
  const std::string image = Image(4, 200);
  ASSERT_EQ(cli.Run({"upload", image}), kExitSuccess);
  const std::string path = records::UploadHistory::DefaultPath();
  // A crash in the middle of an append.
  std::ofstream(std::filesystem::u8path(path), std::ios::app) << R"({"time": "2024)";
  ASSERT_EQ(cli.Run({"upload", image}), kExitSuccess);

  EXPECT_EQ(cli.Run({"history", "--json"}), kExitSuccess);
  const nlohmann::json history = Document();
  ASSERT_EQ(history["uploads"].size(), 2u) << cli.output.str();
  EXPECT_EQ(history["uploads"][1]["speakers"][0]["outcome"], "passed");
  EXPECT_EQ(history["uploads"][1]["file"]["name"], "app.syx");
  ASSERT_EQ(history["skipped_lines"].size(), 1u);
  EXPECT_EQ(history["skipped_lines"][0]["line"], 2);

  EXPECT_EQ(cli.Run({"history", "--serial", "10"}), kExitSuccess);
  EXPECT_TRUE(cli.Printed("  10  TARN-S1  passed  boot 1.00")) << cli.output.str();
  EXPECT_NE(cli.errors.str().find("line 2 skipped"), std::string::npos) << cli.errors.str();
  EXPECT_EQ(cli.Run({"history", "--serial", "11", "--json"}), kExitSuccess);
  EXPECT_TRUE(Document()["uploads"].empty());

  // A state folder that cannot hold the history: the upload does not notice.
  SetVariable(kStateVariable, folder.Write("state-file", {1}));
  EXPECT_EQ(cli.Run({"upload", image}), kExitSuccess) << cli.errors.str();
  EXPECT_TRUE(cli.Printed("Status: Upload Complete")) << cli.output.str();
}

}  // namespace
}  // namespace flashdesk::cli
