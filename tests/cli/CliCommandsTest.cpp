#include <gmock/gmock.h>
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

using ::testing::HasSubstr;
using testing_support::VirtualRig;

sim::SpeakerConfig Speaker(std::uint32_t serial, std::vector<SoftwareEntry> software) {
  sim::SpeakerConfig config = VirtualRig::CompleteSpeaker(serial);
  config.software = std::move(software);
  return config;
}

using testing_support::kStateVariable;
using testing_support::SetEnvironment;

// flashdesk-cli in process over a simulated bus at port 3, in virtual time.
class VirtualCli {
 public:
  int Run(std::vector<std::string> arguments, const std::string& answers = "") {
    input.str(answers);
    input.clear();
    output.str({});
    errors.str({});
    CliEnvironment environment{line, line, store, input, output, errors, false, {}, nullptr, roots};
    arguments.insert(arguments.begin(), "flashdesk-cli");
    return RunCommandLine(arguments, environment);
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

class CliCommands : public ::testing::Test {
 protected:
  // Each test keeps the upload history in a state folder of its own.
  void SetUp() override { SetEnvironment(kStateVariable, (folder.path / "state").string()); }

  // Named by the bytes given: a path object would re-encode the name on Windows.
  std::string Image(std::uint8_t model, std::int32_t payloadLength,
                    const std::string& name = "app.syx") {
    const std::string path = folder.path.string() + "/" + name;
    const auto bytes = sim::BuildFirmwareImage(kKindApplication, model, 2, 1, payloadLength - 2);
    std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    return path;
  }

  VirtualCli cli;
  testing_support::TempFolder folder;
};

// Usage errors are found before the scan, and info needs no bus: no port is touched.
TEST_F(CliCommands, MistakesExitWithTwoAndInfoTouchesNoPort) {
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
  };
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.arguments);
    EXPECT_EQ(cli.Run(example.arguments), kExitUsage) << label;
    EXPECT_THAT(cli.errors.str(), HasSubstr(example.complaint)) << label;
    EXPECT_EQ(cli.output.str(), "") << label;
  }
  // A broken template in the environment is named, not silently replaced by the default.
  SetEnvironment("FLASHDESK_PORT_TEMPLATE", "/dev/ttyS");
  EXPECT_EQ(cli.Run({"scan"}), kExitUsage);
  EXPECT_THAT(cli.errors.str(), HasSubstr("FLASHDESK_PORT_TEMPLATE is \"/dev/ttyS\""));
  SetEnvironment("FLASHDESK_PORT_TEMPLATE", "");

  EXPECT_EQ(cli.Run({"info", Image(4, 200, "TarnS1V1.23.syx")}), kExitSuccess);
  EXPECT_THAT(cli.output.str(), HasSubstr("Firmware list: TARN-S1 application 1.23\n"));
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
    EXPECT_THAT(run.output.str(), HasSubstr(example.printed)) << label;
    // The devices outside the template are only named: a probe could upset them.
    const std::vector<std::int16_t> opens = run.line.OpenAttempts();
    EXPECT_EQ(std::count(opens.begin(), opens.end(), -1), 0) << label;
  }

  // The loser of two uploads on one port sends nothing, so it records nothing either.
  VirtualCli loser;
  loser.bus.AddSpeaker(Speaker(1, {{1, 1, 0}}));
  loser.store.stored = "3";
  const auto recorded = [&loser] {
    EXPECT_EQ(loser.Run({"history", "--json"}), kExitSuccess);
    return nlohmann::json::parse(loser.output.str(), nullptr, false)["uploads"].size();
  };
  const std::size_t before = recorded();
  Comm winner(loser.line);
  ASSERT_TRUE(winner.Open(3));
  EXPECT_EQ(loser.Run({"upload", image, "--json"}), kExitFailure);
  EXPECT_EQ(nlohmann::json::parse(loser.output.str(), nullptr, false)["attempts"], 0);
  EXPECT_EQ(recorded(), before);
}
#endif

TEST_F(CliCommands, UploadAndExitCodesFollowTheOutcome) {
  cli.bus.AddSpeaker(Speaker(10, {{1, 1, 5}, {4, 2, 10}}));
  // A state folder that cannot hold the history: the upload does not notice. A name is bytes:
  // it need not be valid UTF-8 to be uploaded.
  SetEnvironment(kStateVariable, folder.Write("state-file", {1}));
  EXPECT_EQ(cli.Run({"upload", Image(4, 200, "caf\xe9-\xff.syx")}), kExitSuccess)
      << cli.errors.str();
  EXPECT_THAT(cli.output.str(), HasSubstr("Port: 3 (virtual:3)\nSpeakers: 1\n          10  TARN-S1"
                                          "     boot 1.05  application 2.10  test missing  fpga "
                                          "missing\nStatus: Upload Complete\n 1 Speaker(s)"));
  // The speakers wait for the exit; asked about the missing FPGA software, the user says no.
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kBoot);
  EXPECT_EQ(cli.Run({"exit"}, "n\n"), kExitFailure) << cli.output.str();
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kBoot);

  // Every speaker refuses an image for another model: nobody took it, whatever the log says.
  EXPECT_EQ(cli.Run({"upload", Image(5, 200)}), kExitFailure);
  EXPECT_THAT(cli.output.str(),
              HasSubstr("Status: One Or More Errors May Have Occoured\n 0 Speaker(s) Passed:\n"));
  EXPECT_THAT(cli.errors.str(), HasSubstr("no speaker took the image"));

  // Nothing was heard, yet nothing was uploaded either: never "Upload Complete".
  VirtualCli noNetwork;
  EXPECT_EQ(noNetwork.Run({"upload", Image(4, 200)}), kExitFailure);
  EXPECT_THAT(noNetwork.output.str(), HasSubstr("Status: One Or More Errors May Have Occoured"));
}

TEST_F(CliCommands, ASilentSpeakerIsNamedAndABusThatKeepsTalkingIsSaidToHaveDoneSo) {
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(20));
  sim::SpeakerConfig silent = VirtualRig::CompleteSpeaker(21);
  silent.ignoresUploads = true;
  cli.bus.AddSpeaker(silent);
  EXPECT_EQ(cli.Run({"upload", Image(4, 200)}), kExitFailure);
  EXPECT_THAT(cli.output.str(),
              HasSubstr("Status: One Or More Errors May Have Occoured\n 1 Speaker(s) Passed:\n"
                        "    - Serial: 20\n\n 0 Speaker(s) Failed:\n 1 Identified Speaker(s) "
                        "Never Answered:\n    - Serial: 21\n"));

  VirtualCli chatty;
  sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(30);
  speaker.chatterPeriodMs = 10;
  chatty.bus.AddSpeaker(speaker);
  EXPECT_EQ(chatty.Run({"scan"}), kExitSuccess);
  EXPECT_THAT(chatty.output.str(), HasSubstr("Speakers: 1\n"));
  EXPECT_THAT(chatty.output.str(), HasSubstr("The bus kept talking"));
}

// What the engine did reaches the documents; the fields themselves are the records' tests.
TEST_F(CliCommands, EveryJsonDocumentIsAloneOnTheOutputAndUploadsAreRecorded) {
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  sim::SpeakerConfig failing = VirtualRig::CompleteSpeaker(1002);
  for (std::int32_t attempt = 1; attempt <= 3; ++attempt)
    failing.injectedErrors.push_back({attempt, 3, kReplyChecksumError});
  cli.bus.AddSpeaker(failing);
  // Another model's, without its application: refuses the image and is asked about at the exit.
  sim::SpeakerConfig other = Speaker(1003, {{0, 1, 0}, {1, 1, 0}});
  other.type = 5;
  cli.bus.AddSpeaker(other);
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
    documents.push_back(nlohmann::json::parse(cli.output.str(), nullptr, false));
    ASSERT_TRUE(documents.back().is_object()) << label << ":\n" << cli.output.str();
    EXPECT_EQ(documents.back()["command"], example.arguments[example.arguments[0] == "--json"]);
  }
  EXPECT_EQ(documents[1]["attempts"], 3);
  EXPECT_EQ(documents[1]["succeeded"], false);
  EXPECT_THAT(documents[2]["refusal"].get<std::string>(), HasSubstr("too short"));
  ASSERT_EQ(documents[3]["prompts"].size(), 1u) << documents[3];
  EXPECT_EQ(documents[3]["prompts"][0]["answer"], true);
  EXPECT_EQ(documents[6]["uploads"].size(), 1u) << "a refused file is never uploaded";
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kApplication);

  // A crash in the middle of an append.
  std::ofstream(std::filesystem::u8path(records::UploadHistory::DefaultPath()), std::ios::app)
      << R"({"time": "2024)";
  EXPECT_EQ(cli.Run({"history", "--serial", "1002"}), kExitSuccess);
  EXPECT_THAT(cli.output.str(), HasSubstr("  1002  TARN-S1  failed (CHECKSUM ERROR)  boot 1.05"));
  EXPECT_THAT(cli.errors.str(), HasSubstr("line 2 skipped"));
  EXPECT_EQ(cli.Run({"history", "--serial", "11"}), kExitSuccess);
  EXPECT_THAT(cli.output.str(), HasSubstr("No uploads recorded"));
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
      {"y", false, true, 1},
      {"  YES \nno\n", false, true, 7},
      {longest + "yes\n", false, true, longest.size() + 4},
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
  EXPECT_THAT(text, HasSubstr(std::string(TerminalProgress::kBarWidth, '#') + "] 100 %"));
  EXPECT_EQ(pipe.str(),
            "Progress: 0 %\nProgress: 1 %\nProgress: 50 %\nProgress: 98 %\nProgress: 100 %\n");
}

}  // namespace
}  // namespace flashdesk::cli
