#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli/CommandLine.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "testing/VirtualLine.h"
#include "testing/EngineRig.h"

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
    CliEnvironment environment{line, line, store, input, output, errors, false, {}};
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
  for (const char* word : {"scan", "upload FILE", "exit", "--yes", "--port-template"}) {
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

}  // namespace
}  // namespace flashdesk::cli
