#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/FirmwareImage.h"
#include "tests/engine/VirtualRig.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;

const std::string kBothLinesQuestion = std::string(SpeakerNetwork::kMissingApplicationLine) +
                                       SpeakerNetwork::kMissingFpgaLine +
                                       SpeakerNetwork::kExitQuestionTail;

TEST(ExitChecks, MessagesQuestionsAndModeCommandFollowTheSoftwareFound) {
  const std::vector<SoftwareEntry> complete = {{0, 1, 0}, {1, 1, 0}, {4, 1, 0}};
  const struct {
    const char* label;
    std::vector<std::vector<SoftwareEntry>> speakers;
    std::uint8_t type;
    bool answerYes;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool mayExit;
  } cases[] = {
      {"all complete", {complete, complete}, 4, false, {}, {}, true},
      {"boot loader missing",
       {complete, {{0, 1, 0}, {4, 1, 0}}},
       4,
       true,
       {"A speaker is missing a boot software\nUpload a new boot application before you "
        "exit!!!\n"},
       {},
       false},
      {"boot loader missing on a type-7 speaker",
       {{{0, 1, 0}, {7, 1, 0}}},
       7,
       true,
       {SpeakerNetwork::kMissingBootMessage},
       {},
       false},
      {"application and FPGA missing, Yes",
       {{{0, 1, 0}, {1, 1, 0}}, {{1, 1, 0}, {4, 1, 0}}},
       4,
       true,
       {},
       {kBothLinesQuestion},
       true},
      {"application and FPGA missing, No",
       {{{0, 1, 0}, {1, 1, 0}}, {{1, 1, 0}, {4, 1, 0}}},
       4,
       false,
       {},
       {kBothLinesQuestion},
       false},
      {"FPGA missing only",
       {{{1, 1, 0}, {4, 1, 0}}},
       4,
       false,
       {},
       {"One or more speakers have no valid fpga software\n\nIf you exit now your system "
        "might crash\n\nDo you want to exit?\n"},
       false},
  };
  for (const auto& example : cases) {
    VirtualRig rig;
    std::uint32_t serial = 900;
    for (const std::vector<SoftwareEntry>& software : example.speakers) {
      sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(serial++, example.type);
      speaker.software = software;
      rig.bus.AddSpeaker(speaker);
    }
    rig.engine.ScanNetwork();
    rig.prompts.answerYes = example.answerYes;

    EXPECT_EQ(rig.engine.ConfirmExit(), example.mayExit) << example.label;
    EXPECT_EQ(rig.prompts.messages, example.messages) << example.label;
    EXPECT_EQ(rig.prompts.questions, example.questions) << example.label;
    const std::vector<sim::RecordedFrame> modes = rig.Sent(kModeCommand);
    EXPECT_EQ(modes.size(), example.mayExit ? 1u : 0u) << example.label;
    if (!modes.empty()) {
      EXPECT_EQ(modes[0].payload, std::vector<std::uint8_t>{kApplicationMode}) << example.label;
      EXPECT_EQ(rig.line.NowMs() - modes[0].timeMs, 2000) << example.label;
    }
    EXPECT_EQ(rig.engine.PortIsOpen(), !example.mayExit) << example.label;
    EXPECT_EQ(rig.engine.SpeakerCount(), static_cast<int>(example.speakers.size()))
        << example.label;
    for (int i = 0; i < rig.bus.SpeakerCount(); ++i) {
      EXPECT_EQ(rig.bus.Speaker(i).mode,
                example.mayExit ? sim::SpeakerMode::kApplication : sim::SpeakerMode::kBoot)
          << example.label;
    }
  }
}

TEST(ExitChecks, ChecksSeeTheSoftwareOnTheSpeakersNow) {
  VirtualRig rig;
  testing_support::TempFolder folder;
  sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(31);
  speaker.software = {{kKindFpga, 1, 0}, {kKindBoot, 1, 0}};
  rig.bus.AddSpeaker(speaker);
  rig.engine.ScanNetwork();
  ASSERT_EQ(rig.engine.CountMissingApplication(), 1);

  const std::string path =
      folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 2, 0, 100));
  ASSERT_TRUE(rig.engine.Upload(path, 3));
  rig.prompts.answerYes = false;
  EXPECT_TRUE(rig.engine.ConfirmExit());
  EXPECT_TRUE(rig.prompts.questions.empty()) << "the new application was identified";
}

TEST(ExitChecks, WithoutANetworkTheProgramMayEnd) {
  VirtualRig rig(40, std::nullopt);
  rig.engine.ScanNetwork();
  ASSERT_EQ(rig.engine.PortNumber(), -1);
  EXPECT_TRUE(rig.engine.ConfirmExit());
  EXPECT_TRUE(rig.prompts.messages.empty());
  EXPECT_TRUE(rig.prompts.questions.empty());
  EXPECT_TRUE(rig.bus.Frames().empty());
}

TEST(ExitChecks, BootSignalSendsApplicationModeToDestinationZero) {
  VirtualRig rig;
  sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(77);
  speaker.bootSignalPeriodMs = 900;
  rig.bus.AddSpeaker(speaker);
  rig.engine.ScanNetwork();
  EXPECT_TRUE(rig.engine.ConfirmExit());
  const std::vector<sim::RecordedFrame> modes = rig.Sent(kModeCommand);
  ASSERT_EQ(modes.size(), 1u);
  EXPECT_EQ(modes[0].destination, kBootSignalDestination);
}

}  // namespace
}  // namespace flashdesk
