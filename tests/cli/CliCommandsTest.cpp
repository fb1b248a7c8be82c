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
#include "engine/Pacing.h"
#include "protocol/Models.h"
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
using ::testing::Not;
using testing_support::VirtualRig;

sim::SpeakerConfig Speaker(std::uint32_t serial, std::vector<SoftwareEntry> software) {
  sim::SpeakerConfig config = VirtualRig::CompleteSpeaker(serial);
  config.software = std::move(software);
  return config;
}

// How many frames with this command the speakers heard.
std::ptrdiff_t FramesHeard(const sim::SpeakerBus& bus, std::uint8_t command) {
  const std::vector<sim::RecordedFrame> frames = bus.Frames();
  return std::count_if(frames.begin(), frames.end(), [command](const sim::RecordedFrame& frame) {
    return frame.command == command;
  });
}

// A speaker that reports CHECKSUM ERROR at the same block of every attempt.
sim::SpeakerConfig FailingEveryAttempt(std::uint32_t serial, std::int32_t block) {
  sim::SpeakerConfig config = VirtualRig::CompleteSpeaker(serial);
  for (std::int32_t attempt = 1; attempt <= 3; ++attempt)
    config.injectedErrors.push_back({attempt, block, kReplyChecksumError});
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
    CliEnvironment environment{line,  line, store,   input, output, errors,
                               false, {},   nullptr, roots, nullptr};
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

  // Named by the bytes given: a path object would re-encode the name on Windows. By default
  // named as the firmware list names the model's application, with the version it holds.
  std::string Image(std::uint8_t model, std::int32_t payloadLength, std::string name = "") {
    if (name.empty())
      name = std::string(FindModel(model)->filePrefix) + "2.01.syx";
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
      {{"flsh"}, "unknown command 'flsh'"},
      {{"upload"}, "upload needs the firmware FILE"},
      {{"flash"}, "flash needs the firmware FILE"},
      {{"upload", "a.syx", "b.syx"}, "unexpected argument 'b.syx'"},
      {{"scan", "--yes"}, "--yes applies to exit and flash only"},
      {{"exit", "--force"}, "--force applies to upload and flash only"},
      {{"flash", "a.syx", "--verify"}, "flash always verifies"},
      {{"scan", "-q", "-v"}, "exclude each other"},
      {{"ports", "--port", "/dev/ttyACM0"}, "--port applies to scan, flash, upload and exit"},
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
  // A CH340 the kernel gave no tty, as when brltty has claimed it.
  tree.Usb("1-5", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
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
      {1,
       false,
       kExitFailure,
       "found.\nvirtual:5: no such device",
       {"--port", "virtual:5", "upload", image}},
      {1, true, kExitFailure, "found.\nvirtual:3: in use by another program", {"scan"}},
      {-1,
       false,
       kExitFailure,
       "found.\nvirtual:2: permission denied. Join the dialout group",
       {"scan"}},
      {0, false, kExitSuccess, " (1a86:7523) at USB 1-5 has no serial port", {"ports"}},
      {19, false, kExitSuccess, "(1 not listed)", {"scan"}},
  };
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.arguments);
    VirtualCli run;
    run.roots = tree.Roots();
    for (int serial = 1; serial <= example.speakers; ++serial)
      run.bus.AddSpeaker(Speaker(static_cast<std::uint32_t>(serial), {{1, 1, 0}}));
    // -1: nobody on the bus, and a port this user may not open.
    if (example.speakers < 0)
      run.line.AddForbiddenPort(2);
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
  EXPECT_THAT(loser.errors.str(), Not(HasSubstr("history was not written")));
  EXPECT_EQ(recorded(), before);
}
#endif

TEST_F(CliCommands, UploadAndExitCodesFollowTheOutcome) {
  cli.bus.AddSpeaker(Speaker(10, {{1, 1, 5}, {4, 2, 10}}));
  // Where the history cannot be written, the upload's result stands and the user is told why,
  // once.
  const auto toldOnceWhy = [this](const std::string& why) {
    const std::string errors = cli.errors.str();
    const std::string warning = "warning: the upload history was not written: ";
    const std::size_t at = errors.find(warning);
    ASSERT_NE(at, std::string::npos) << errors;
    EXPECT_EQ(errors.find(warning, at + 1), std::string::npos) << errors;
    EXPECT_NE(errors.find(why, at), std::string::npos) << errors;
  };
  // A state folder below a plain file. A name is bytes: it need not be valid UTF-8 to be
  // uploaded, though only --force sends a name the firmware list cannot read.
  SetEnvironment(kStateVariable, folder.Write("state-file", {1}));
  EXPECT_EQ(cli.Run({"upload", "--force", Image(4, 200, "caf\xe9-\xff.syx")}), kExitSuccess)
      << cli.errors.str();
  EXPECT_THAT(cli.output.str(), HasSubstr("Port: 3 (virtual:3)\nSpeakers: 1\n          10  TARN-S1"
                                          "     boot 1.05  application 2.10  test missing  fpga "
                                          "missing\nStatus: Upload Complete\n 1 Speaker(s)"));
  toldOnceWhy("state-file");
  // The speakers wait for the exit; asked about the missing FPGA software, the user says no.
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kBoot);
  EXPECT_EQ(cli.Run({"exit"}, "n\n"), kExitFailure) << cli.output.str();
  EXPECT_EQ(cli.bus.Speaker(0).mode, sim::SpeakerMode::kBoot);

  // Forced, every speaker refuses an image for another model: nobody took it, whatever the
  // log says. No state folder is named at all.
  const char* home = std::getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  SetEnvironment(kStateVariable, "");
  SetEnvironment("HOME", "");
  EXPECT_EQ(cli.Run({"upload", Image(5, 200), "--force"}), kExitFailure);
  SetEnvironment("HOME", savedHome);
  toldOnceWhy(kStateVariable);
  EXPECT_THAT(cli.output.str(),
              HasSubstr("Status: One Or More Errors May Have Occoured\n 0 Speaker(s) Passed:\n"));
  EXPECT_THAT(cli.output.str(), HasSubstr(" 1 Speaker(s) Refused The Image As Another Model's "
                                          "(TYPE ERROR):\n    - Serial: 10  TARN-S1\n"));
  EXPECT_THAT(cli.errors.str(), HasSubstr("no speaker took the image"));

  // Nothing was heard, yet nothing was uploaded either: never "Upload Complete".
  VirtualCli noNetwork;
  EXPECT_EQ(noNetwork.Run({"upload", Image(4, 200)}), kExitFailure);
  EXPECT_THAT(noNetwork.output.str(), HasSubstr("Status: One Or More Errors May Have Occoured"));
}

// Before anything is sent: the file's model must be on the bus and its name readable.
TEST_F(CliCommands, ThePreflightCheckRefusesWhatNobodyOnTheBusCanTake) {
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(10));
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(11));
  const auto uploadsBegun = [this] { return FramesHeard(cli.bus, kUploadStart); };
  const struct {
    std::vector<std::string> arguments;
    const char* reason;
  } cases[] = {
      {{"upload", Image(5, 200)},
       "'Low1V2.01.syx' is for TARN-LOW-1 and no TARN-LOW-1 is on the bus (found 2 TARN-S1); "
       "nothing was sent. Use --force"},
      {{"flash", Image(4, 200, "app.syx"), "--yes"}, "'app.syx' is not a name the firmware list"},
  };
  for (const auto& example : cases) {
    const std::string label = ::testing::PrintToString(example.arguments);
    std::vector<std::string> arguments = example.arguments;
    arguments.push_back("--json");
    EXPECT_EQ(cli.Run(arguments), kExitFailure) << label;
    EXPECT_THAT(cli.errors.str(), HasSubstr(example.reason)) << label;
    const nlohmann::json document = nlohmann::json::parse(cli.output.str(), nullptr, false);
    EXPECT_THAT(document["refusal"].dump(), HasSubstr("nothing was sent")) << document;
    EXPECT_EQ(document["port"]["number"], 3) << document;
    EXPECT_EQ(uploadsBegun(), 0) << label;
  }
  EXPECT_EQ(cli.Run({"history"}), kExitSuccess);
  EXPECT_THAT(cli.output.str(), HasSubstr("No uploads recorded"));
  EXPECT_EQ(cli.Run({"upload", Image(4, 200, "app.syx"), "--force"}), kExitSuccess);
  EXPECT_GT(uploadsBegun(), 0);
}

// One speaker's error ends every speaker's data phase: the report says who and what to do.
TEST_F(CliCommands, ASpeakerThatEndsEveryAttemptIsNamedWithWhatToDo) {
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  cli.bus.AddSpeaker(FailingEveryAttempt(1002, 2));
  EXPECT_EQ(cli.Run({"upload", Image(4, 400)}), kExitFailure);
  const std::string text = cli.output.str();
  for (const char* attempt : {"Attempt 1", "Attempt 2", "Attempt 3"})
    EXPECT_THAT(text, HasSubstr(std::string(attempt) + " ended by: 1002 (CHECKSUM ERROR)\n"));
  EXPECT_THAT(text, HasSubstr("Speaker(s) 1002 reported an error in every attempt"));
  EXPECT_THAT(text, HasSubstr("disconnect speaker(s) 1002 and upload again"));

  // Different speakers in different attempts: nobody to blame alone.
  VirtualCli mixed;
  mixed.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  sim::SpeakerConfig first = VirtualRig::CompleteSpeaker(1002);
  first.injectedErrors.push_back({1, 2, kReplyChecksumError});
  sim::SpeakerConfig later = VirtualRig::CompleteSpeaker(1003);
  later.injectedErrors = {{2, 2, kReplyChecksumError}, {3, 2, kReplyChecksumError}};
  mixed.bus.AddSpeaker(first);
  mixed.bus.AddSpeaker(later);
  EXPECT_EQ(mixed.Run({"upload", Image(4, 400), "--json"}), kExitFailure);
  const nlohmann::json document = nlohmann::json::parse(mixed.output.str(), nullptr, false);
  EXPECT_EQ(document["culprits"], nlohmann::json::array()) << document;
  ASSERT_EQ(document["attempt_errors"].size(), 3u) << document;
  EXPECT_EQ(document["attempt_errors"][0][0]["serial"], 1002) << document;
  EXPECT_THAT(mixed.errors.str(), HasSubstr("Attempt 2 ended by: 1003 (CHECKSUM ERROR)"));
}

// The whole job in one command, and the check of the versions afterwards.
TEST_F(CliCommands, FlashSearchesOnceUploadsVerifiesAndReturnsTheSpeakers) {
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1002));
  const auto identifications = [this] { return FramesHeard(cli.bus, kIdentifyRequest); };
  EXPECT_EQ(cli.Run({"flash", Image(4, 300)}), kExitSuccess) << cli.errors.str();
  EXPECT_THAT(cli.output.str(), HasSubstr("Status: Upload Complete\n"));
  EXPECT_THAT(cli.output.str(), HasSubstr("Verify:\n    - Serial: 1001  TARN-S1  verified\n"
                                          "    - Serial: 1002  TARN-S1  verified\n"));
  EXPECT_THAT(cli.output.str(), HasSubstr("Speakers sent to Application mode"));
  for (int speaker = 0; speaker < 2; ++speaker)
    EXPECT_EQ(cli.bus.Speaker(speaker).mode, sim::SpeakerMode::kApplication) << speaker;
  const auto afterFirst = identifications();

  // The name promises another version than the image holds; and a name without a version.
  const std::string differs = Image(4, 300, "TarnS1V2.34.syx");
  EXPECT_EQ(cli.Run({"flash", differs, "--json"}), kExitFailure);
  nlohmann::json document = nlohmann::json::parse(cli.output.str(), nullptr, false);
  EXPECT_EQ(document["command"], "flash");
  EXPECT_EQ(document["upload_succeeded"], true) << document;
  EXPECT_EQ(document["succeeded"], false);
  EXPECT_EQ(document["exit"]["allowed"], true);
  EXPECT_EQ(document["speakers"][0]["verify"]["result"], "version_differs") << document;
  EXPECT_THAT(cli.errors.str(), HasSubstr("version differs (has 2.01, file says 2.34)"));
  EXPECT_EQ(identifications() - afterFirst, afterFirst) << "one search and the exit's, as before";

  EXPECT_EQ(cli.Run({"upload", "--verify", Image(4, 300, "TarnS1Vlatest.syx")}), kExitFailure);
  EXPECT_THAT(cli.output.str(), HasSubstr("1001  TARN-S1  cannot verify"));
  EXPECT_EQ(cli.Run({"upload", "--verify", Image(4, 300)}), kExitSuccess) << cli.output.str();

  EXPECT_EQ(cli.Run({"history", "--json"}), kExitSuccess);
  EXPECT_EQ(nlohmann::json::parse(cli.output.str(), nullptr, false)["uploads"].size(), 4u);
}

// -q keeps one final line; --trace shows every frame; -v the trace; -V the version.
TEST_F(CliCommands, QuietVerboseAndFrameTracesShowWhatTheyPromise) {
  cli.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  EXPECT_EQ(cli.Run({"-q", "flash", Image(4, 200)}), kExitSuccess) << cli.errors.str();
  EXPECT_EQ(cli.output.str(),
            "flash succeeded: 1 of 1 speakers passed, verified, speakers in Application mode\n");
  EXPECT_EQ(cli.errors.str(), "");
  EXPECT_EQ(cli.Run({"scan", "--quiet"}), kExitSuccess);
  EXPECT_EQ(cli.output.str(), "Port 3 (virtual:3): 1 speakers\n");

  EXPECT_EQ(cli.Run({"scan", "--trace"}), kExitSuccess);
  std::istringstream lines(cli.errors.str());
  std::size_t sent = 0;
  std::size_t heard = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" ms  ") == std::string::npos)
      continue;
    const bool out = line.find(" ms  tx  F0 ") != std::string::npos;
    const bool in = line.find(" ms  rx  F0 ") != std::string::npos;
    EXPECT_TRUE(out || in) << line;
    EXPECT_EQ(line.substr(line.size() - 2), "F7") << line;
    sent += out ? 1 : 0;
    heard += in ? 1 : 0;
  }
  EXPECT_GT(sent, 0u);
  EXPECT_GT(heard, 0u) << cli.errors.str();
  EXPECT_THAT(cli.output.str(), HasSubstr("Speakers: 1\n")) << "the trace is not the output";

  EXPECT_EQ(cli.Run({"scan", "-v"}), kExitSuccess);
  const std::string traced = cli.errors.str();
  EXPECT_EQ(cli.Run({"scan"}), kExitSuccess);
  EXPECT_GT(traced.size(), cli.errors.str().size() + 200) << traced;
  EXPECT_EQ(cli.Run({"-V"}), kExitSuccess);
  EXPECT_EQ(cli.output.str().rfind("flashdesk-cli ", 0), 0u) << cli.output.str();
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
  cli.bus.AddSpeaker(FailingEveryAttempt(1002, 3));
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
  EXPECT_THAT(cli.output.str(),
              HasSubstr("      1002  TARN-S1        failed (CHECKSUM ERROR)  boot 1.05     "));
  EXPECT_THAT(cli.errors.str(), HasSubstr("line 2 skipped"));
  EXPECT_EQ(cli.Run({"history", "--serial", "11"}), kExitSuccess);
  EXPECT_THAT(cli.output.str(), HasSubstr("No uploads to speaker 11 recorded in"));
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
  sim::SpeakerBus bus;
  sim::VirtualLine clock(bus, 3);
  std::ostringstream terminal;
  std::ostringstream pipe;
  TerminalProgress bar(terminal, true, clock);
  TerminalProgress lines(pipe, false, clock);
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

// In virtual time: the estimate follows the pace measured, never below the engine's pauses.
TEST(TerminalProgress, BlocksShowElapsedTimeAnEstimateAndWhereAStopLeftThem) {
  sim::SpeakerBus bus;
  sim::VirtualLine clock(bus, 3);
  std::ostringstream pipe;
  TerminalProgress progress(pipe, false, clock);
  progress.ReportProgress(0);
  clock.SleepMs(4000);  // the start of the attempt
  progress.ReportBlocks({1, 1, 101});
  clock.SleepMs(30000);  // 100 blocks' time for 10 blocks: the bus is slower than paced
  progress.ReportBlocks({1, 11, 101});
  progress.ReportProgress(10);
  progress.ReportBlocks({2, 1, 101});
  progress.ReportProgress(11);
  progress.FinishStopped(1, 101);
  std::istringstream lines(pipe.str());
  std::vector<std::string> shown;
  for (std::string line; std::getline(lines, line);)
    shown.push_back(line);
  ASSERT_EQ(shown.size(), 4u) << pipe.str();
  const std::int64_t tail = pacing::TailMilliseconds() / 1000;
  // 90 blocks to go at 3 s each, then the tail.
  EXPECT_EQ(shown[1], "Progress: 10 % (block 11/101, 0:34 elapsed, about " +
                          std::to_string((270 + tail) / 60) + ":" +
                          (((270 + tail) % 60) < 10 ? "0" : "") +
                          std::to_string((270 + tail) % 60) + " left)");
  // A new attempt starts at the engine's own pace.
  const std::int64_t paced = (100 * pacing::kBlockMs + pacing::TailMilliseconds()) / 1000;
  EXPECT_EQ(shown[2], "Progress: 11 % (block 1/101 of attempt 2, 0:34 elapsed, about " +
                          std::to_string(paced / 60) + ":" + (paced % 60 < 10 ? "0" : "") +
                          std::to_string(paced % 60) + " left)");
  EXPECT_EQ(shown[3], "Stopped after block 1 of 101: the speakers did not get the whole image.");
}

}  // namespace
}  // namespace flashdesk::cli
