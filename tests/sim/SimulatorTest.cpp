// The simulator without a transport: the speaker bus in explicit time, the sample firmware
// and the command line.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "tests/sim/BusDriver.h"

namespace flashdesk::sim {
namespace {

using namespace testing;

// Recomputes the checksum of a frame whose payload a test has changed.
Bytes Resealed(Bytes frame) {
  frame[frame.size() - 2] = kFrameEnd;
  frame.resize(static_cast<std::size_t>(Seal(frame.data())));
  return frame;
}

std::vector<std::int64_t> TimesOf(const std::vector<Arrival>& arrivals) {
  std::vector<std::int64_t> times;
  for (const Arrival& arrival : arrivals) {
    times.push_back(arrival.timeMs);
  }
  return times;
}

// The version the firmware list reads from a name: three digits after the last uppercase V.
int VersionInName(const std::string& name) {
  const std::string digits = name.substr(name.rfind('V') + 1);
  return (digits[0] - '0') * 100 + (digits[2] - '0') * 10 + (digits[3] - '0');
}

using Arguments = std::vector<std::string>;

// The words of a command line without quoting.
Arguments Words(const std::string& line) {
  std::istringstream in(line);
  return Arguments(std::istream_iterator<std::string>(in), {});
}

class SpeakerBusTest : public ::testing::Test {
 protected:
  SpeakerBus bus;
  BusDriver pc{bus};
};

TEST_F(SpeakerBusTest, IdentificationRepliesAreStaggeredWholeFrames) {
  Serials expected;
  for (std::uint32_t serial = 1000; serial < 1019; ++serial) {
    bus.AddSpeaker(MakeSpeaker(serial, 4));
    expected.push_back(serial);
  }
  pc.Identify();
  const std::vector<Arrival> arrivals = pc.Collect(2000);
  ASSERT_EQ(arrivals.size(), 19u);
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    EXPECT_EQ(arrivals[i].timeMs, 15 + 30 * static_cast<std::int64_t>(i));
    EXPECT_EQ(SerialsIn({arrivals[i]}).size(), 1u) << i;  // exactly one whole frame
  }
  EXPECT_EQ(SerialsIn(arrivals), expected);
}

TEST_F(SpeakerBusTest, BootSignalFollowsItsScheduleOnlyInIdleBootMode) {
  SpeakerConfig signalling = MakeSpeaker(9, 4, SpeakerMode::kApplication);
  signalling.bootSignalPeriodMs = 500;
  bus.AddSpeaker(signalling);
  EXPECT_TRUE(pc.Collect(2000).empty());
  pc.SetMode(kBootMode);  // at 2000: signals at 2500, 3000, ...
  std::vector<Arrival> arrivals = pc.Collect(3200);
  EXPECT_EQ(TimesOf(arrivals), (std::vector<std::int64_t>{2500, 3000}));
  EXPECT_EQ(arrivals.back().bytes, (Bytes{0xFE, 0x00}));
  // Busy with an upload: no signal (3500 and 4000 are never sent); after DONE the schedule
  // counted from 2000 resumes.
  const Bytes image = BuildFirmwareImage(kKindBoot, kAnyModel, 1, 7, 10);
  pc.SendFrame(pc.UploadStartFrame(image));
  EXPECT_EQ(pc.Collect(4400).size(), 1u);  // READY only
  pc.SendFrame(pc.BlockFrame(image, 0));
  EXPECT_EQ(TimesOf(pc.Collect(5100)), (std::vector<std::int64_t>{4415, 4500, 5000}));
  pc.SetMode(kApplicationMode);
  EXPECT_TRUE(pc.Collect(8000).empty());
}

TEST_F(SpeakerBusTest, UploadRebuildsTheImageAndInstallsItsVersion) {
  bus.AddSpeaker(MakeSpeaker(11, 4));
  SpeakerConfig withoutBoot = MakeSpeaker(12, 4);
  withoutBoot.software = {{4, 1, 0}};
  bus.AddSpeaker(withoutBoot);
  const Bytes application = BuildFirmwareImage(kKindApplication, 4, 1, 23, 1000);
  const ErrorLog log = pc.Upload(application);
  EXPECT_EQ(Codes(log), (CodeList{kReplyReady, kReplyReady, kReplyDone, kReplyDone}));
  for (int position : {0, 1}) {
    EXPECT_TRUE(bus.Speaker(position).upload.complete);
    EXPECT_EQ(bus.Speaker(position).upload.payload,
              Bytes(application.begin() + kImageHeaderLength, application.end()));
    EXPECT_EQ(bus.Speaker(position).upload.blockSize, 40960);
  }
  const int boot = kKindBoot * 10000;
  EXPECT_EQ(Versions(bus.Speaker(0).software),
            (std::vector<int>{boot + 100, 40123, kKindFpga * 10000 + 200}));
  // A boot loader for every model gives the speaker that lacked one its entry.
  pc.Upload(BuildFirmwareImage(kKindBoot, kAnyModel, 1, 5, 70));
  EXPECT_EQ(Versions(bus.Speaker(1).software), (std::vector<int>{40123, boot + 105}));
  EXPECT_EQ(bus.Speaker(1).uploadAttempts, 2);
}

TEST(SpeakerBus, RefusedAndDamagedUploadsGetTheMatchingReplyAndChangeNoSoftware) {
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 2, 0, 400);
  Bytes noRoomForTheVersion = BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 0);
  noRoomForTheVersion.resize(kImageHeaderLength + 1);
  // Adds to one byte (counted from the end when negative), then reseals the frame.
  const auto changed = [](std::ptrdiff_t at, int add, bool reseal = true) {
    return [at, add, reseal](Bytes frame) {
      std::uint8_t& byte = frame[static_cast<std::size_t>(at < 0 ? frame.size() + at : at)];
      byte = static_cast<std::uint8_t>((byte + add) & 0x7F);
      return reseal ? Resealed(frame) : frame;
    };
  };
  struct Case {
    const char* name;
    Bytes image;
    std::int32_t damagedFrame;  // -1: the upload start
    std::function<Bytes(Bytes frame)> damage;
    CodeList codes;
  };
  const auto sound = [](Bytes frame) { return frame; };
  const auto ready = [](std::uint8_t code) { return CodeList{kReplyReady, code}; };
  const CodeList typeError = {kReplyTypeError};
  const Case cases[] = {
      {"another model", BuildFirmwareImage(kKindApplication, 5, 1, 0, 100), -1, sound, typeError},
      {"application for any model", BuildFirmwareImage(kKindApplication, kAnyModel, 1, 0, 100), -1,
       sound, typeError},
      {"unknown kind", BuildFirmwareImage(9, kAnyModel, 1, 0, 100), -1, sound, typeError},
      {"no room for the version", noRoomForTheVersion, -1, sound, typeError},
      {"block size not of header byte 0", image, -1, changed(3 + 5, 1),
       CodeList(1, kReplySectorError)},
      {"upload start checksum", image, -1, changed(-2, 1, false), CodeList()},
      {"more bytes than the start announced", image, -1, changed(3 + 8, -1),
       ready(kReplyCountError)},
      {"frame checksum", image, 2, changed(-2, 1, false), ready(kReplyChecksumError)},
      {"block skipped", image, 1, [&image](Bytes) { return BusDriver::BlockFrame(image, 2); },
       ready(kReplyCountError)},
      {"length field", image, 0, changed(4, -1), ready(kReplyCountError)},
      {"nibble above 15", image, 3, changed(6, 0x10), ready(kReplyChecksumError)},
      {"data checksum", image, 1, changed(-3, 1), ready(kReplyChecksumError)}};
  for (const Case& c : cases) {
    SpeakerBus bus;
    BusDriver pc(bus);
    bus.AddSpeaker(MakeSpeaker(31, 4));
    const ErrorLog log = pc.Upload(c.image, [&c](std::int32_t index, Bytes frame) {
      return index == c.damagedFrame ? c.damage(std::move(frame)) : frame;
    });
    EXPECT_EQ(Codes(log), c.codes) << c.name;
    const SpeakerState state = bus.Speaker(0);
    EXPECT_EQ(Versions(state.software), Versions(MakeSpeaker(31, 4).software)) << c.name;
    EXPECT_FALSE(state.upload.complete) << c.name;
    if (c.damagedFrame >= 0) {  // the blocks before the damaged one were stored
      EXPECT_EQ(state.upload.payload,
                Bytes(image.begin() + kImageHeaderLength,
                      image.begin() + kImageHeaderLength + c.damagedFrame * kFileBytesPerBlock))
          << c.name;
    }
  }
}

TEST_F(SpeakerBusTest, RecordingKeepsEveryFrameWithItsFieldsAndTheSequenceWrapsAfter128) {
  pc.now = 100;
  pc.SetMode(kApplicationMode, kBootSignalDestination);
  pc.SendFrame({0x01, kFrameEnd, 0x33});  // bytes outside a frame are not frames
  bus.AddSpeaker(MakeSpeaker(61, 4));
  const Bytes image = BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 129 * 66 - 2);
  EXPECT_EQ(Codes(pc.Upload(image)), (CodeList{kReplyReady, kReplyDone}));
  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 1u + 1 + 129);  // mode, upload start, blocks
  EXPECT_EQ(frames[0].timeMs, 100);
  EXPECT_TRUE(frames[0].checksumOk && frames[0].command == kModeCommand);
  EXPECT_EQ(frames[0].payload, Bytes{kApplicationMode});
  EXPECT_EQ(frames[2].timeMs, 100 + 1000);
  for (const auto& [index, sequence] : {std::pair{0, -1}, {2, 0}, {129, 127}, {130, 0}}) {
    EXPECT_EQ(frames[static_cast<std::size_t>(index)].sequence, sequence) << index;
  }
}

TEST_F(SpeakerBusTest, ReplyFaultsShapeWhatThePcReceives) {
  SpeakerConfig split = MakeSpeaker(71, 4);
  split.splitReplies = true;
  SpeakerConfig garbled = MakeSpeaker(72, 5);
  garbled.garbledReplies = 1;
  SpeakerConfig twice = MakeSpeaker(73, 6);
  twice.answersTwice = true;
  SpeakerConfig dead = MakeSpeaker(74, 8);
  dead.neverAnswers = true;
  for (const SpeakerConfig& config : {split, garbled, twice, dead}) {
    bus.AddSpeaker(config);
  }
  pc.Identify();
  const std::vector<Arrival> arrivals = pc.Collect(1000);
  // Split reply in two parts 25 ms apart, the garbled one, the repeated one twice.
  ASSERT_EQ(arrivals.size(), 5u);
  EXPECT_EQ(arrivals[1].timeMs - arrivals[0].timeMs, 25);
  EXPECT_NE(arrivals[0].bytes.back(), kFrameEnd);
  EXPECT_EQ(SerialsIn(arrivals), (Serials{71, 73, 73}));
  pc.Identify();  // the garbled speaker's later replies are sound
  EXPECT_EQ(SerialsIn(pc.Collect(2000)), (Serials{71, 72, 73, 73}));
}

TEST_F(SpeakerBusTest, NoiseAndVanishingAreInjectedOnCue) {
  SpeakerConfig vanishing = MakeSpeaker(81, 4);
  vanishing.vanishAfterBlocks = 2;
  bus.AddSpeaker(vanishing);
  const Bytes noise = {0x11, 0x22, 0x7E};
  bus.SendRawAfter(kUploadStart, 200, noise);
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 1, 1, 500);
  pc.SendFrame(pc.UploadStartFrame(image));
  const std::vector<Arrival> arrivals = pc.Collect(1000);
  EXPECT_EQ(TimesOf(arrivals), (std::vector<std::int64_t>{15, 200}));
  EXPECT_EQ(arrivals.back().bytes, noise);
  pc.SendFrame(pc.BlockFrame(image, 0));
  EXPECT_FALSE(bus.Vanished());
  pc.SendFrame(pc.BlockFrame(image, 1));
  EXPECT_TRUE(bus.Vanished());
  pc.Identify();
  EXPECT_TRUE(pc.Collect(5000).empty());
  EXPECT_EQ(bus.Frames().size(), 3u);
}

TEST(SampleFirmware, EveryModelHasImagesItsSpeakersAcceptAndOthersRefuse) {
  const std::pair<std::uint8_t, std::string> models[] = {
      {3, "TarnS2V"}, {4, "TarnS1V"},  {5, "Low1V"},  {6, "Low2V"},
      {8, "TarnS3V"}, {10, "TarnS4V"}, {12, "Low3V"}, {13, "Low4V"}};
  const std::vector<SampleFile> files = SampleFirmwareFiles();
  const std::regex pattern(R"((TarnS[1-4]|Low[1-4]|bootKel|TestKel)V\d\.\d\d\.syx)");
  for (const SampleFile& file : files) {
    EXPECT_TRUE(std::regex_match(file.name, pattern)) << file.name;
  }
  for (const auto& [type, prefix] : models) {
    for (const SampleFile& file : files) {
      const bool ours = file.name.rfind("bootKel", 0) == 0 || file.name.rfind("TestKel", 0) == 0 ||
                        file.name.rfind(prefix, 0) == 0;
      SpeakerBus bus;
      BusDriver pc(bus);
      SpeakerConfig speaker = MakeSpeaker(100 + type, type);
      speaker.software.clear();  // what an upload installs is then the only entry
      bus.AddSpeaker(speaker);
      const ErrorLog log = pc.Upload(file.bytes);
      ASSERT_FALSE(log.Events().empty()) << file.name;
      EXPECT_EQ(log.Events().back().code, ours ? kReplyDone : kReplyTypeError)
          << file.name << " on type " << int{type};
      if (ours) {  // the version in the name is the one the speaker reports
        const std::vector<SoftwareEntry> software = bus.Speaker(0).software;
        ASSERT_EQ(software.size(), 1u) << file.name;
        EXPECT_EQ(software[0].major * 100 + software[0].minor, VersionInName(file.name));
      }
    }
  }
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
  EXPECT_EQ(Versions(first.software), (std::vector<int>{10105, 40210}));
  const SpeakerConfig& second = options.speakers[1];
  EXPECT_EQ(second.serial, 268435455u);
  EXPECT_TRUE(second.mode == SpeakerMode::kBoot && second.splitReplies && second.answersTwice);
  EXPECT_EQ(second.bootSignalPeriodMs, 250);
  ASSERT_EQ(second.injectedErrors.size(), 1u);
  EXPECT_EQ(second.injectedErrors[0].attempt * 100 + second.injectedErrors[0].block, 217);
  EXPECT_EQ(second.injectedErrors[0].code, kReplyChecksumError);
  EXPECT_EQ(second.vanishAfterBlocks, 9);
  // Given no entries: boot loader, application and FPGA software.
  EXPECT_EQ(Versions(second.software),
            (std::vector<int>{kKindBoot * 10000 + 100, 130100, kKindFpga * 10000 + 100}));
  EXPECT_TRUE(options.speakers[2].neverAnswers);
}

TEST(SimOptions, NonsenseIsRefusedWithAReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"--speaker 1:4", "--link"},
      {"--link x", "no speakers"},
      {"--link", "needs a value"},
      {"--link x --speaker 268435456:4", "--speaker"},
      {"--link x --speaker 1:4:loud", "loud"},
      {"--link x --entry 1:1.00", "belongs to a --speaker"},
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
        "--vanish-after", "--noise", "--verbose", "--help", "--version", "make-firmware", "app",
        "boot", "silent", "bootsignal", "dead", "split", "twice"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace flashdesk::sim
