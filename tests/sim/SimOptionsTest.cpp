#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "tests/sim/BusDriver.h"

namespace flashdesk::sim {
namespace {

using Arguments = std::vector<std::string>;

// The words of a command line without quoting.
Arguments Words(const std::string& line) {
  std::istringstream in(line);
  return Arguments(std::istream_iterator<std::string>(in), {});
}

TEST(SimOptions, SpeakersAreBuiltFromTheCommandLine) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions(
      Words("--link /tmp/x/COM3 --speaker 1234567:4:app:silent --entry 1:1.05 --entry 4:2.10 "
            "--speaker 268435455:13:bootsignal:split:twice --boot-signal-period 250 "
            "--checksum-error 2:17 --vanish-after 9 --speaker 5:8:dead --noise -v"),
      options, error))
      << error;
  EXPECT_EQ(options.command, SimOptions::Command::kServe);
  EXPECT_EQ(options.linkPath, "/tmp/x/COM3");
  EXPECT_TRUE(options.verbose && options.noiseAfterUploadStart);
  ASSERT_EQ(options.speakers.size(), 3u);

  const SpeakerConfig& first = options.speakers[0];
  EXPECT_EQ(first.serial, 1234567u);
  EXPECT_TRUE(first.mode == SpeakerMode::kApplication && first.silentInApplication);
  EXPECT_EQ(testing::Versions(first.software), (std::vector<int>{10105, 40210}));
  const SpeakerConfig& second = options.speakers[1];
  EXPECT_EQ(second.serial, 268435455u);
  EXPECT_TRUE(second.mode == SpeakerMode::kBoot && second.splitReplies && second.answersTwice);
  EXPECT_EQ(second.bootSignalPeriodMs, 250);
  ASSERT_EQ(second.injectedErrors.size(), 1u);
  EXPECT_EQ(second.injectedErrors[0].attempt * 100 + second.injectedErrors[0].block, 217);
  EXPECT_EQ(second.injectedErrors[0].code, kReplyChecksumError);
  EXPECT_EQ(second.vanishAfterBlocks, 9);
  // Given no entries: boot loader, application and FPGA software.
  EXPECT_EQ(testing::Versions(second.software),
            (std::vector<int>{kKindBoot * 10000 + 100, 130100, kKindFpga * 10000 + 100}));
  EXPECT_TRUE(options.speakers[2].neverAnswers);

  // The demo bus needs the mode switch and sends the boot signal.
  SimOptions demo;
  ASSERT_TRUE(ParseSimOptions({"--demo", "--link", "COM3"}, demo, error)) << error;
  ASSERT_GE(demo.speakers.size(), 3u);
  for (const SpeakerConfig& speaker : demo.speakers) {
    EXPECT_TRUE(speaker.mode == SpeakerMode::kApplication && speaker.silentInApplication);
  }
  EXPECT_GT(demo.speakers[0].bootSignalPeriodMs, 0);
  EXPECT_NE(demo.speakers.front().type, demo.speakers.back().type);
}

TEST(SimOptions, NonsenseIsRefusedWithAReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"--speaker 1:4", "--link"},
      {"--link x", "no speakers"},
      {"--link", "needs a value"},
      {"--link x --speaker 268435456:4", "--speaker"},
      {"--link x --speaker 1:4:loud", "loud"},
      {"--link x --entry 1:1.00", "belongs to a --speaker"},
      {"--link x --speaker 1:4 --entry 1:1.5", "--entry"},
      {"--link x --speaker 1:4 --boot-signal-period 0", "--boot-signal"},
      {"--link x --speaker 1:4 --checksum-error 1", "--checksum-error"},
      {"--link x --speaker 1:4 --fast", "unknown option"},
      {"make-firmware a b", "one folder"},
  };
  for (const auto& [arguments, reason] : cases) {
    SimOptions options;
    std::string error;
    EXPECT_FALSE(ParseSimOptions(Words(arguments), options, error)) << arguments;
    EXPECT_NE(error.find(reason), std::string::npos) << "'" << error << "' lacks " << reason;
  }
}

TEST(SimOptions, HelpExplainsEveryOptionTheParserTakes) {
  const std::string usage = SimUsage();
  for (const char* option :
       {"--link", "--demo", "--speaker", "--entry", "--boot-signal-period", "--checksum-error",
        "--vanish-after", "--noise", "--verbose", "--help", "make-firmware", "app", "boot",
        "silent", "bootsignal", "dead", "split", "twice"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--link", "x", "--help"}, options, error));
  EXPECT_EQ(options.command, SimOptions::Command::kHelp);
  ASSERT_TRUE(ParseSimOptions({"make-firmware", "out/syx"}, options, error));
  EXPECT_EQ(options.command, SimOptions::Command::kMakeFirmware);
  EXPECT_EQ(options.firmwareFolder, "out/syx");
}

}  // namespace
}  // namespace flashdesk::sim
