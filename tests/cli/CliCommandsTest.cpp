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

TEST_F(CliCommands, ScanListsThePortAndEverySpeaker) {
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

TEST_F(CliCommands, ScanWithoutSpeakersExitsWithOne) {
  EXPECT_EQ(cli.Run({"scan"}), kExitFailure);
  EXPECT_TRUE(cli.Printed("No speakers found.")) << cli.output.str();
  EXPECT_EQ(cli.store.stored, "-1");
}

TEST_F(CliCommands, UploadStatusAndExitCodeFollowTheOutcome) {
  sim::SpeakerConfig refusing = Speaker(20, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}});
  refusing.injectedErrors = {{1, 0, 3}, {2, 0, 3}, {3, 0, 3}};
  const struct {
    const char* label;
    bool withSpeaker;
    bool refuses;
    int exitCode;
    const char* printed;
  } cases[] = {
      {"complete", true, false, kExitSuccess,
       "Status: Upload Complete\n 1 Speaker(s) Passed:\n    - Serial: 10\n\n 0 Speaker(s) "
       "Failed:\n"},
      {"transfer errors in every attempt", true, true, kExitFailure,
       "Status: One Or More Errors May Have Occoured\n 0 Speaker(s) Passed:\n 1 Speaker(s) "
       "Failed:\n    - Serial: 20\n\n"},
      // Nothing was heard, yet the upload did not happen: never "Upload Complete".
      {"no network", false, false, kExitFailure,
       "Status: One Or More Errors May Have Occoured\n 0 Speaker(s) Passed:\n 0 Speaker(s) "
       "Failed:\n"},
  };
  for (const auto& example : cases) {
    VirtualCli run;
    if (example.withSpeaker) {
      run.bus.AddSpeaker(example.refuses ? refusing
                                         : Speaker(10, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}}));
    }
    EXPECT_EQ(run.Run({"upload", Image(4, 200)}), example.exitCode) << example.label;
    EXPECT_TRUE(run.Printed(example.printed)) << example.label << ":\n" << run.output.str();
    EXPECT_NE(run.errors.str().find("Progress: 100 %\n"), std::string::npos) << example.label;
    EXPECT_EQ(run.errors.str().find('\r'), std::string::npos) << "no bar when not a terminal";
  }
}

TEST_F(CliCommands, UploadLeavesTheSpeakersWithTheNewSoftwareInBootMode) {
  cli.bus.AddSpeaker(Speaker(10, {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}}));
  EXPECT_EQ(cli.Run({"upload", Image(4, 300)}), kExitSuccess) << cli.output.str();
  const sim::SpeakerState state = cli.bus.Speaker(0);
  EXPECT_TRUE(state.upload.complete);
  EXPECT_EQ(state.mode, sim::SpeakerMode::kBoot);
  EXPECT_TRUE(cli.Run({"scan"}) == kExitSuccess && cli.Printed("application 2.01"))
      << cli.output.str();
}

TEST_F(CliCommands, ExitAsksOnTheTerminalAndReturnsTheSpeakersToApplicationMode) {
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
       {{0, 1, 0}, {1, 1, 0}},
       {"exit", "--yes"},
       "",
       kExitSuccess,
       "no valid application\n\nIf you exit now your system might crash\n\n"
       "Do you want to exit?\n[y/N] yes"},
      {"application missing, typed yes",
       {{0, 1, 0}, {1, 1, 0}},
       {"exit"},
       "yes\n",
       kExitSuccess,
       "Do you want to exit?\n[y/N] "},
      {"application missing, typed no",
       {{0, 1, 0}, {1, 1, 0}},
       {"exit"},
       "n\n",
       kExitFailure,
       "Status: \n"},
      {"application missing, no input",
       {{0, 1, 0}, {1, 1, 0}},
       {"exit"},
       "",
       kExitFailure,
       "[y/N] no (no answer)"},
      {"boot loader missing",
       {{0, 1, 0}, {4, 1, 0}},
       {"exit", "--yes"},
       "",
       kExitFailure,
       "A speaker is missing a boot software\nUpload a new boot application before you "
       "exit!!!\n"},
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
