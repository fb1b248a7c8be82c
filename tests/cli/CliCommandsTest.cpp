#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/CommandLine.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalPrompts.h"
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

const std::vector<SoftwareEntry> kComplete = {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}};

sim::SpeakerConfig Speaker(std::uint32_t serial, std::vector<SoftwareEntry> software) {
  sim::SpeakerConfig config;
  config.serial = serial;
  config.software = std::move(software);
  return config;
}

#ifdef _WIN32
constexpr const char* kStateVariable = "LOCALAPPDATA";
#else
constexpr const char* kStateVariable = "XDG_STATE_HOME";
#endif

void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

// flashdesk-cli in process over a simulated bus at port 3, in virtual time.
class VirtualCli {
 public:
  int Run(const std::vector<std::string>& arguments, const std::string& answers = "") {
    input.str(answers);
    input.clear();
    output.str({});
    errors.str({});
    CliEnvironment environment{line, line, store, input, output, errors, false, {}, nullptr, roots};
    std::vector<std::string> all{"flashdesk-cli"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunCommandLine(all, environment);
  }
  bool Printed(const std::string& text) const {
    return output.str().find(text) != std::string::npos;
  }
  bool Complained(const std::string& text) const {
    return errors.str().find(text) != std::string::npos;
  }

  sim::SpeakerBus bus;
  sim::VirtualLine line{bus, 3};
  testing_support::MemoryStore store;
  // Never the machine's own devices.
  platform::DiscoveryRoots roots{"/nonexistent/sys", "/nonexistent/dev"};
  std::istringstream input;
  std::ostringstream output;
  std::ostringstream errors;
};

// Each test keeps the upload history in a state folder of its own.
class CliCommands : public ::testing::Test {
 protected:
  void SetUp() override { SetVariable(kStateVariable, (folder.path / "state").string()); }
  void TearDown() override { SetVariable(kStateVariable, suiteState); }

  // Named by the bytes given: a path object would re-encode the name on Windows.
  std::string Image(std::uint8_t model, std::int32_t payloadLength,
                    const std::string& name = "app.syx") {
    const std::string path = folder.path.string() + "/" + name;
    const auto bytes = sim::BuildFirmwareImage(kKindApplication, model, 2, 1, payloadLength - 2);
    std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    return path;
  }

  nlohmann::json Document() const {
    return nlohmann::json::parse(cli.output.str(), nullptr, false);
  }

  VirtualCli cli;
  testing_support::TempFolder folder;
  const char* const saved = std::getenv(kStateVariable);
  const std::string suiteState = saved != nullptr ? saved : "";
};

// Usage errors are found before the scan, and help, version and info need no bus: no port is
// touched.
TEST_F(CliCommands, MistakesExitWithTwoAndCommandsWithoutABusTouchNoPort) {
  const struct {
    std::vector<std::string> arguments;
    const char* complaint;
  } cases[] = {
      {{}, "no command given"},
      {{"flash"}, "unknown command 'flash'"},
      {{"upload"}, "upload needs the firmware FILE"},
      {{"upload", "a.syx", "b.syx"}, "unexpected argument 'b.syx'"},
      {{"scan", "--yes"}, "--yes applies to exit only"},
      {{"ports", "--port", "/dev/ttyACM0"}, "--port applies to scan, upload and exit"},
      {{"--frobnicate", "scan"}, "unknown option '--frobnicate'"},
      {{"--port-template", "/dev/%i/tty%i", "scan"}, "exactly one %i"},
      {{"upload", (folder.path / "none.syx").string()}, "cannot read firmware file"},
      {{"upload", folder.path.string()}, "not a regular file"},  // a FIFO: the end-to-end test
      {{"upload", folder.Write("short.syx", {0, 1, 2, 3, 4, 5, 6})}, "is not a firmware image"},
  };
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.arguments);
    EXPECT_EQ(cli.Run(example.arguments), kExitUsage) << label;
    EXPECT_TRUE(cli.Complained(example.complaint)) << label << ": " << cli.errors.str();
    EXPECT_EQ(cli.output.str(), "") << label;
  }
  // A broken template in the environment is named, not silently replaced by the default.
  SetVariable("FLASHDESK_PORT_TEMPLATE", "/dev/ttyS");
  EXPECT_EQ(cli.Run({"scan"}), kExitUsage);
  EXPECT_TRUE(cli.Complained("FLASHDESK_PORT_TEMPLATE is \"/dev/ttyS\"")) << cli.errors.str();
  SetVariable("FLASHDESK_PORT_TEMPLATE", "");

  for (const char* answered : {"--help", "--version"}) {
    EXPECT_EQ(cli.Run({answered}), kExitSuccess) << answered;
    EXPECT_NE(cli.output.str(), "") << answered;
  }
  EXPECT_EQ(cli.Run({"info", Image(4, 200, "TarnS1V1.23.syx")}), kExitSuccess);
  EXPECT_TRUE(cli.Printed("Firmware list: TARN-S1 application 1.23\n")) << cli.output.str();
  EXPECT_TRUE(cli.line.OpenAttempts().empty());
}

// The fake device tree is a Linux sysfs; Windows lists its ports from the registry.
#ifndef _WIN32
TEST_F(CliCommands, PortsPinnedPortsAndFailedSearchesSayWhereToLook) {
  testing_support::FakeTree tree;
  const auto usb = tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}});
  tree.Tty("ttyACM0", usb / "1-4:1.0", "cdc_acm");
  const std::string acm = tree.Dev("ttyACM0");
  const std::string image = Image(4, 200);
  const struct {
    int speakers;
    bool held;
    int exitCode;
    std::string printed;
    std::vector<std::string> arguments;
  } cases[] = {
      {0, false, kExitSuccess, acm + "  USB 2341:0043  not covered by the template\n", {"ports"}},
      {0, false, kExitFailure, "does not try:\n  --port " + acm, {"scan"}},
      {1, false, kExitSuccess, "Port: virtual:3\nSpeakers: 1\n", {"scan", "--port", "virtual:3"}},
      // A pinned port was the user's choice: the other devices are not suggested.
      {1, false, kExitFailure, "found.\nStatus: ", {"--port", "virtual:5", "upload", image}},
      {1, true, kExitFailure, "virtual:3 is in use by another program", {"scan"}},
      {19, false, kExitSuccess, "(1 not listed)", {"scan"}},
  };
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.arguments);
    VirtualCli run;
    run.roots = tree.Roots();
    for (int serial = 1; serial <= example.speakers; ++serial)
      run.bus.AddSpeaker(Speaker(static_cast<std::uint32_t>(serial), {{1, 1, 0}}));
    Comm otherProgram(run.line);
    ASSERT_TRUE(!example.held || otherProgram.Open(3)) << label;
    EXPECT_EQ(run.Run(example.arguments), example.exitCode) << label << "\n" << run.errors.str();
    EXPECT_TRUE(run.Printed(example.printed)) << label << ":\n" << run.output.str();
    // The devices outside the template are only named: a probe could upset them.
    const std::vector<std::int16_t> opens = run.line.OpenAttempts();
    EXPECT_EQ(std::count(opens.begin(), opens.end(), -1), 0) << label;
  }
}
#endif

TEST_F(CliCommands, UploadListsTheSpeakersAndItsExitCodeFollowsTheOutcome) {
  cli.bus.AddSpeaker(Speaker(10, {{0, 1, 0}, {1, 1, 5}, {4, 2, 10}}));
  // A state folder that cannot hold the history: the upload does not notice. A name is bytes:
  // it need not be valid UTF-8 to be uploaded.
  SetVariable(kStateVariable, folder.Write("state-file", {1}));
  EXPECT_EQ(cli.Run({"upload", Image(4, 200, "caf\xe9-\xff.syx")}), kExitSuccess)
      << cli.errors.str();
  EXPECT_TRUE(
      cli.Printed("Port: 3 (virtual:3)\nSpeakers: 1\n"
                  "          10  TARN-S1     boot 1.05  application 2.10  test missing"
                  "  fpga 1.00\nStatus: Upload Complete\n 1 Speaker(s) Passed:\n"))
      << cli.output.str();
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kBoot) << "the speakers wait for the exit";

  // Every speaker refuses an image for another model: the window's status line, yet a script
  // must not take it for success.
  EXPECT_EQ(cli.Run({"upload", Image(5, 200)}), kExitFailure);
  EXPECT_TRUE(cli.Printed("Status: Upload Complete\n 0 Speaker(s) Passed:\n")) << cli.output.str();
  EXPECT_TRUE(cli.Complained("no speaker took the image"));

  // Nothing was heard, yet nothing was uploaded either: never "Upload Complete".
  VirtualCli noNetwork;
  EXPECT_EQ(noNetwork.Run({"upload", Image(4, 200)}), kExitFailure);
  EXPECT_TRUE(noNetwork.Printed("No speakers found.\nStatus: One Or More Errors May Have Occoured"))
      << noNetwork.output.str();
}

// A refusal on the terminal, or a speaker without a boot loader, keeps them in Boot mode; the
// exit allowed is the JSON test's.
TEST_F(CliCommands, ExitRefusedLeavesTheSpeakersInBootMode) {
  const std::pair<std::vector<SoftwareEntry>, const char*> cases[] = {
      {{{0, 1, 0}, {1, 1, 0}}, "n\n"},  // no application: asked, and refused
      {{{0, 1, 0}, {4, 1, 0}}, "y\n"},  // no boot loader: never allowed
  };
  for (const auto& [entries, answer] : cases) {
    VirtualCli run;
    run.bus.AddSpeaker(Speaker(5, entries));
    EXPECT_EQ(run.Run({"exit"}, answer), kExitFailure) << answer << run.output.str();
    EXPECT_EQ(run.bus.Speaker(0).mode, sim::SpeakerMode::kBoot) << answer;
  }
}

// What the engine did reaches the documents; the fields themselves are the records' tests.
TEST_F(CliCommands, EveryJsonDocumentIsAloneOnTheOutputAndUploadsAreRecorded) {
  cli.bus.AddSpeaker(Speaker(1001, kComplete));
  sim::SpeakerConfig failing = Speaker(1002, kComplete);
  sim::SpeakerConfig silent = Speaker(1003, {{0, 1, 0}, {1, 1, 0}});  // asked about at the exit
  for (std::int32_t attempt = 1; attempt <= 3; ++attempt) {
    failing.injectedErrors.push_back({attempt, 3, kReplyChecksumError});
    // READY instead of a block: it stops listening and never reports an outcome.
    silent.injectedErrors.push_back({attempt, 3, kReplyReady});
  }
  cli.bus.AddSpeaker(failing);
  cli.bus.AddSpeaker(silent);
  const std::string image = Image(4, 400);
  const std::string refused = folder.Write("short.syx", {0, 1, 2, 3, 4, 5, 6});
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
  } cases[] = {
      {{"scan", "--json"}, kExitSuccess},          {{"upload", image, "--json"}, kExitFailure},
      {{"--json", "upload", refused}, kExitUsage}, {{"exit", "--yes", "--json"}, kExitSuccess},
      {{"info", refused, "--json"}, kExitFailure}, {{"ports", "--json"}, kExitSuccess},
      {{"history", "--json"}, kExitSuccess},
  };
  std::vector<nlohmann::json> documents;
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.arguments);
    EXPECT_EQ(cli.Run(example.arguments), example.exitCode) << label << cli.errors.str();
    documents.push_back(Document());
    ASSERT_TRUE(documents.back().is_object()) << label << ":\n" << cli.output.str();
    EXPECT_EQ(documents.back()["command"], example.arguments[example.arguments[0] == "--json"]);
  }
  const nlohmann::json& upload = documents[1];
  EXPECT_EQ(upload["attempts"], 3);
  EXPECT_EQ(upload["succeeded"], false);
  EXPECT_EQ(upload["speakers"].at(1)["outcome"], "failed") << upload;
  EXPECT_EQ(upload["speakers"].at(2)["outcome"], "no_answer") << upload;
  EXPECT_NE(documents[2]["refusal"].get<std::string>().find("too short"), std::string::npos);
  EXPECT_EQ(documents[3]["allowed"], true);
  EXPECT_EQ(documents[3]["prompts"].size(), 1u) << documents[3];
  EXPECT_EQ(documents[3]["prompts"].at(0)["answer"], true);
  EXPECT_EQ(documents[6]["uploads"].size(), 1u) << "a refused file is never uploaded";
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kApplication);

  // A crash in the middle of an append.
  std::ofstream(std::filesystem::u8path(records::UploadHistory::DefaultPath()), std::ios::app)
      << R"({"time": "2024)";
  EXPECT_EQ(cli.Run({"history", "--serial", "1002"}), kExitSuccess);
  EXPECT_TRUE(cli.Printed("  1002  TARN-S1  failed (CHECKSUM ERROR)  boot 1.00"))
      << cli.output.str();
  EXPECT_TRUE(cli.Complained("line 2 skipped")) << cli.errors.str();
  EXPECT_EQ(cli.Run({"history", "--serial", "11", "--json"}), kExitSuccess);
  EXPECT_TRUE(Document()["uploads"].empty());
}

// The terminal pieces on their own.
TEST(TerminalPrompts, AnswersComeFromTheInputLineTheFlagOrTheEndOfInput) {
  const std::string longest(TerminalPrompts::kLongestAnswer - 3, ' ');
  const std::string endless(8 << 20, 'y');
  const struct {
    std::string input;
    bool assumeYes;
    bool answer;
    std::size_t consumedAtMost;
  } cases[] = {
      {"y\n", false, true, 2},
      {"YES\n", false, true, 4},
      {"  yes \nno\n", false, true, 7},
      {longest + "yes\n", false, true, longest.size() + 4},
      {"yes", false, true, 3},
      {"n\n", false, false, 2},
      {"yess\n", false, false, 5},
      {"", false, false, 0},
      {"no\n", true, true, 0},
      // A line without end (a device given as input) is refused, not read to its end.
      {endless, false, false, TerminalPrompts::kLongestAnswer + 1},
  };
  for (const auto& example : cases) {
    std::istringstream input(example.input);
    std::ostringstream output;
    TerminalPrompts prompts(input, output, example.assumeYes);
    const std::string label = example.input.substr(0, 12);
    EXPECT_EQ(prompts.AskYesNo("Do you want to exit?\n"), example.answer) << label;
    EXPECT_EQ(output.str().rfind("Do you want to exit?\n", 0), 0u) << output.str();
    input.clear();
    EXPECT_LE(static_cast<std::size_t>(input.tellg()), example.consumedAtMost) << label;
  }
}

TEST(TerminalProgress, TerminalRedrawsOneLineAndAPipeGetsAPlainLinePerNewValue) {
  std::ostringstream terminal;
  std::ostringstream pipe;
  TerminalProgress bar(terminal, true);
  TerminalProgress lines(pipe, false);
  for (const int position : {0, 1, 1, 50, 98, 150}) {
    bar.ReportProgress(position);
    lines.ReportProgress(position);
  }
  bar.Finish();
  bar.Finish();
  lines.Finish();
  const std::string text = terminal.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 5) << "a repeated value is not redrawn";
  EXPECT_NE(text.find("[" + std::string(TerminalProgress::kBarWidth, '#') + "] 100 %"),
            std::string::npos)
      << text;
  EXPECT_EQ(pipe.str(),
            "Progress: 0 %\nProgress: 1 %\nProgress: 50 %\nProgress: 98 %\nProgress: 100 %\n");
}

}  // namespace
}  // namespace flashdesk::cli
