#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;
using Software = std::vector<SoftwareEntry>;

TEST(ExitChecks, MessagesQuestionsAndModeCommandFollowTheSoftwareFound) {
  const Software complete = {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}};
  const Software noBoot = {{0, 1, 0}, {4, 1, 0}};
  const Software noApplication = {{0, 1, 0}, {1, 1, 0}};
  const Software noFpga = {{1, 1, 0}, {4, 1, 0}};
  const std::string bootMessage =
      "A speaker is missing a boot software\nUpload a new boot application before you exit!!!\n";
  const std::string bothLines =
      "One or more speakers have no valid application\nOne or more speakers have no valid fpga "
      "software\n\nIf you exit now your system might crash\n\nDo you want to exit?\n";
  const struct {
    const char* label;
    std::vector<Software> speakers;
    bool answerYes;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool mayExit;
  } cases[] = {
      {"no network", {}, false, {}, {}, true},
      {"all complete", {complete, complete}, false, {}, {}, true},
      {"boot loader missing", {complete, noBoot}, true, {bootMessage}, {}, false},
      {"application and FPGA missing, Yes", {noApplication, noFpga}, true, {}, {bothLines}, true},
      {"application and FPGA missing, No", {noApplication, noFpga}, false, {}, {bothLines}, false},
      {"FPGA missing only",
       {noFpga},
       false,
       {},
       {"One or more speakers have no valid fpga software\n\nIf you exit now your system might "
        "crash\n\nDo you want to exit?\n"},
       false},
  };
  for (const auto& example : cases) {
    VirtualRig rig;
    std::uint32_t serial = 900;
    for (const Software& software : example.speakers) {
      sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(serial++);
      speaker.software = software;
      rig.bus.AddSpeaker(speaker);
    }
    rig.engine.ScanNetwork();
    rig.prompts.answerYes = example.answerYes;
    // Nothing else may reach the engine while the user reads.
    rig.prompts.whileShown = [&rig, &example] {
      EXPECT_FALSE(std::async(std::launch::async,
                              [&rig] { return SpeakerNetwork::Hold(rig.engine, 0).Held(); })
                       .get())
          << example.label;
    };

    EXPECT_EQ(rig.engine.ConfirmExit().allowed, example.mayExit) << example.label;
    EXPECT_EQ(rig.prompts.messages, example.messages) << example.label;
    EXPECT_EQ(rig.prompts.questions, example.questions) << example.label;
    // A scan that finds nobody sends Boot mode commands of its own; only the last one counts.
    const std::vector<sim::RecordedFrame> modes = rig.Sent(kModeCommand);
    const bool toApplication =
        !modes.empty() && modes.back().payload == std::vector<std::uint8_t>{kApplicationMode};
    EXPECT_EQ(toApplication, example.mayExit && !example.speakers.empty()) << example.label;
    EXPECT_EQ(rig.line.BusPortOpen(), !example.mayExit) << example.label;
    for (int i = 0; i < rig.bus.SpeakerCount(); ++i) {
      EXPECT_EQ(rig.bus.Speaker(i).mode,
                example.mayExit ? sim::SpeakerMode::kApplication : sim::SpeakerMode::kBoot)
          << example.label;
    }
  }
}

}  // namespace
}  // namespace flashdesk
