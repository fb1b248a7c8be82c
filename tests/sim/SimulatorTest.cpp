// The simulated speaker judges every upload frame as a real one does, which is what lets the
// engine's tests catch a damaged frame; and the simulator's command line.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SimOptions.h"
#include "sim/SpeakerBus.h"

namespace flashdesk::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Codes = std::vector<std::uint8_t>;

// Software entries as kind * 10000 + major * 100 + minor, for comparing whole lists.
std::vector<int> Versions(const std::vector<SoftwareEntry>& software) {
  std::vector<int> versions;
  for (const SoftwareEntry& entry : software)
    versions.push_back(entry.kind * 10000 + entry.major * 100 + entry.minor);
  return versions;
}

Bytes Framed(std::uint8_t command, const std::function<void(std::uint8_t*)>& write) {
  std::uint8_t frame[1030];
  write(frame);
  return Bytes(frame, frame + FrameCommand(command, kEverySpeaker, frame));
}

Bytes BlockFrame(const Bytes& image, std::int32_t block) {
  const std::int32_t at = kImageHeaderLength + block * kFileBytesPerBlock;
  const std::int32_t n =
      std::min<std::int32_t>(kFileBytesPerBlock, static_cast<std::int32_t>(image.size()) - at);
  return Framed(kDataBlock, [&](std::uint8_t* f) {
    WriteDataBlock(f, static_cast<std::uint8_t>(block & 0x7F), image.data() + at, n);
  });
}

// Sends the upload start and every block of image, a second apart; damage changes the frame
// of index `damaged` (-1: the upload start) on its way.
void Upload(SpeakerBus& bus, const Bytes& image, std::int32_t damaged,
            const std::function<Bytes(Bytes)>& damage) {
  const auto payload = static_cast<std::int32_t>(image.size()) - kImageHeaderLength;
  std::int64_t now = 0;
  for (std::int32_t index = -1; index * kFileBytesPerBlock < payload; ++index) {
    Bytes frame = index >= 0 ? BlockFrame(image, index) : Framed(kUploadStart, [&](auto* f) {
      WriteUploadStart(f, image.data(), BlockSizeFor(image[0]), payload);
    });
    if (index == damaged)
      frame = damage(frame);
    bus.Receive(frame.data(), frame.size(), now += 1000);
  }
}

SpeakerConfig Speaker() {
  SpeakerConfig config;
  config.serial = 31;
  config.type = 4;
  config.software = {{kKindBoot, 1, 0}, {4, 1, 0}, {kKindFpga, 2, 0}};
  return config;
}

TEST(SimulatedSpeaker, InstallsOnlyASoundImageForItselfAndAnswersEachFaultWithItsCode) {
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 2, 0, 400);
  Bytes noRoomForTheVersion = BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 0);
  noRoomForTheVersion.resize(kImageHeaderLength + 1);
  // Adds to one byte (counted from the end when negative), then reseals the frame.
  const auto changed = [](std::ptrdiff_t at, int add, bool reseal = true) {
    return [at, add, reseal](Bytes frame) {
      std::uint8_t& byte = frame[static_cast<std::size_t>(at < 0 ? frame.size() + at : at)];
      byte = static_cast<std::uint8_t>((byte + add) & 0x7F);
      if (reseal) {
        frame[frame.size() - 2] = kFrameEnd;
        frame.resize(static_cast<std::size_t>(Seal(frame.data())));
      }
      return frame;
    };
  };
  const auto sound = [](Bytes frame) { return frame; };
  const auto ready = [](std::uint8_t code) { return Codes{kReplyReady, code}; };
  const Codes typeError = {kReplyTypeError};
  const struct {
    const char* name;
    Bytes image;
    std::int32_t damagedFrame;  // -1: the upload start
    std::function<Bytes(Bytes frame)> damage;
    Codes codes;
  } cases[] = {
      {"sound", image, -1, sound, ready(kReplyDone)},
      {"another model", BuildFirmwareImage(kKindApplication, 5, 1, 0, 100), -1, sound, typeError},
      {"application for any model", BuildFirmwareImage(kKindApplication, kAnyModel, 1, 0, 100), -1,
       sound, typeError},
      {"unknown kind", BuildFirmwareImage(9, kAnyModel, 1, 0, 100), -1, sound, typeError},
      {"no room for the version", noRoomForTheVersion, -1, sound, typeError},
      {"block size not of header byte 0", image, -1, changed(3 + 5, 1), {kReplySectorError}},
      {"upload start checksum", image, -1, changed(-2, 1, false), {}},
      {"more bytes than the start announced", image, -1, changed(3 + 8, -1),
       ready(kReplyCountError)},
      {"frame checksum", image, 2, changed(-2, 1, false), ready(kReplyChecksumError)},
      {"block skipped", image, 1, [&image](Bytes) { return BlockFrame(image, 2); },
       ready(kReplyCountError)},
      {"length field", image, 0, changed(4, -1), ready(kReplyCountError)},
      {"nibble above 15", image, 3, changed(6, 0x10), ready(kReplyChecksumError)},
      {"data checksum", image, 1, changed(-3, 1), ready(kReplyChecksumError)}};
  for (const auto& c : cases) {
    SpeakerBus bus;
    bus.AddSpeaker(Speaker());
    Upload(bus, c.image, c.damagedFrame, c.damage);
    const SpeakerState state = bus.Speaker(0);
    EXPECT_EQ(state.statusCodes, c.codes) << c.name;
    const bool installed = c.codes == ready(kReplyDone);
    EXPECT_EQ(state.upload.complete, installed) << c.name;
    const std::vector<int> after = {10100, 40200, 200};
    EXPECT_EQ(Versions(state.software), installed ? after : Versions(Speaker().software)) << c.name;
    // Every block before the damaged one was stored.
    if (installed || c.damagedFrame >= 0) {
      const std::int32_t stored = installed
                                      ? static_cast<std::int32_t>(image.size()) - kImageHeaderLength
                                      : c.damagedFrame * kFileBytesPerBlock;
      EXPECT_EQ(state.upload.payload, Bytes(image.begin() + kImageHeaderLength,
                                            image.begin() + kImageHeaderLength + stored))
          << c.name;
    }
  }
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), {}};
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
  EXPECT_EQ(Versions(second.software), (std::vector<int>{10100, 130100, 100}));
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

}  // namespace
}  // namespace flashdesk::sim
