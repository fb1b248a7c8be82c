#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/CommandLine.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk::cli {
namespace {

sim::SpeakerConfig Speaker(std::uint32_t serial, std::vector<SoftwareEntry> software) {
  sim::SpeakerConfig config;
  config.serial = serial;
  config.type = 4;
  config.software = std::move(software);
  return config;
}

// flashdesk-cli in process over a simulated bus at port 3, in virtual time.
class VirtualCli {
 public:
  int Run(const QStringList& arguments, const std::string& answers = "") {
    input.str(answers);
    input.clear();
    output.str({});
    errors.str({});
    CliEnvironment environment{line, line, store, input, output, errors, false, {}};
    return RunCommandLine(QStringList{"flashdesk-cli"} + arguments, environment);
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
  QString Image(std::uint8_t model, std::int32_t payloadLength) {
    return QString::fromStdString(folder.Write(
        "app.syx", sim::BuildFirmwareImage(kKindApplication, model, 2, 1, payloadLength - 2)));
  }

  VirtualCli cli;
  testing_support::TempFolder folder;
};

// Usage errors are found before the scan, so no port is touched.
TEST_F(CliCommands, MistakesExitWithTwoAndSayWhatIsWrong) {
  const std::string shortImage = folder.Write("short.syx", {0, 1, 2, 3, 4, 5, 6});
  const std::string highHeader = folder.Write("high.syx", testing_support::ImageBytes(0x80, 9));
  const struct {
    QStringList arguments;
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
      {{"upload", QString::fromStdString((folder.path / "none.syx").string())},
       "cannot read firmware file"},
      {{"upload", QString::fromStdString(shortImage)}, "is not a firmware image"},
      {{"upload", QString::fromStdString(highHeader)}, "is not a firmware image"},
  };
  for (const auto& example : cases) {
    const std::string label = example.arguments.join(' ').toStdString();
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

TEST_F(CliCommands, UploadStatusAndExitCodeFollowTheOutcome) {
  const struct {
    const char* label;
    bool withSpeaker;
    std::vector<sim::InjectedError> errors;
    int exitCode;
    const char* printed;
  } cases[] = {
      {"complete",
       true,
       {},
       kExitSuccess,
       "Status: Upload Complete\n 1 Speaker(s) Passed:\n    - Serial: 10\n\n 0 Speaker(s) "
       "Failed:\n"},
      {"transfer errors in every attempt",
       true,
       {{1, 0, 3}, {2, 0, 3}, {3, 0, 3}},
       kExitFailure,
       "Status: One Or More Errors May Have Occoured\n 0 Speaker(s) Passed:\n 1 Speaker(s) "
       "Failed:\n    - Serial: 10\n\n"},
      // Nothing was heard, yet the upload did not happen: never "Upload Complete".
      {"no network",
       false,
       {},
       kExitFailure,
       "Status: One Or More Errors May Have Occoured\n 0 Speaker(s) Passed:\n 0 Speaker(s) "
       "Failed:\n"},
  };
  for (const auto& example : cases) {
    VirtualCli run;
    if (example.withSpeaker) {
      sim::SpeakerConfig speaker = Speaker(10, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}});
      speaker.injectedErrors = example.errors;
      run.bus.AddSpeaker(speaker);
    }
    EXPECT_EQ(run.Run({"upload", Image(4, 200)}), example.exitCode) << example.label;
    EXPECT_TRUE(run.Printed(example.printed)) << example.label << ":\n" << run.output.str();
    EXPECT_NE(run.errors.str().find("Progress: 100 %\n"), std::string::npos) << example.label;
    EXPECT_EQ(run.errors.str().find('\r'), std::string::npos) << "no bar when not a terminal";
    if (example.exitCode == kExitSuccess) {
      EXPECT_EQ(run.bus.Speaker(0).mode, sim::SpeakerMode::kBoot) << "stays for the exit";
    }
  }
}

TEST_F(CliCommands, ExitAsksOnTheTerminalAndReturnsTheSpeakersToApplicationMode) {
  const std::vector<SoftwareEntry> noApplication = {{0, 1, 0}, {1, 1, 0}};
  const struct {
    const char* label;
    std::vector<SoftwareEntry> software;
    QStringList arguments;
    std::string answers;
    int exitCode;
    const char* printed;
  } cases[] = {
      {"complete", {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}}, {"exit"}, "", kExitSuccess, "port closed"},
      {"application missing, --yes",
       noApplication,
       {"exit", "--yes"},
       "",
       kExitSuccess,
       "no valid application\n\nIf you exit now your system might crash\n\n"
       "Do you want to exit?\n[y/N] yes"},
      {"application missing, typed no", noApplication, {"exit"}, "n\n", kExitFailure, "Status: \n"},
      {"boot loader missing",
       {{0, 1, 0}, {4, 1, 0}},
       {"exit", "--yes"},
       "",
       kExitFailure,
       "A speaker is missing a boot software\n"},
  };
  for (const auto& example : cases) {
    VirtualCli run;
    run.bus.AddSpeaker(Speaker(5, example.software));
    EXPECT_EQ(run.Run(example.arguments, example.answers), example.exitCode) << example.label;
    EXPECT_TRUE(run.Printed(example.printed)) << example.label << ":\n" << run.output.str();
    EXPECT_TRUE(run.Printed("Status: Closing.... Please wait!!!\n")) << example.label;
    EXPECT_EQ(run.bus.Speaker(0).mode, example.exitCode == kExitSuccess
                                           ? sim::SpeakerMode::kApplication
                                           : sim::SpeakerMode::kBoot)
        << example.label;
  }
}

}  // namespace
}  // namespace flashdesk::cli
