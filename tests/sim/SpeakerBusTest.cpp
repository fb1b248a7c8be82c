#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "tests/sim/BusDriver.h"

namespace flashdesk::sim {
namespace {

using testing::Arrival;
using testing::BusDriver;
using testing::Bytes;
using testing::Codes;
using testing::MakeSpeaker;
using CodeList = std::vector<std::uint8_t>;

Bytes PayloadOf(const Bytes& image) {
  return Bytes(image.begin() + kImageHeaderLength, image.end());
}

// Recomputes the checksum of a frame whose payload a test has changed.
Bytes Resealed(Bytes frame) {
  frame[frame.size() - 2] = kFrameEnd;
  frame.resize(static_cast<std::size_t>(Seal(frame.data())));
  return frame;
}

// Identification records in what arrived, in order.
std::vector<std::uint32_t> SerialsIn(const std::vector<Arrival>& arrivals) {
  MessageLayer layer;
  std::vector<std::uint32_t> serials;
  for (const Arrival& arrival : arrivals) {
    layer.Append(arrival.bytes.data(), static_cast<std::int32_t>(arrival.bytes.size()));
    SpeakerRecord record;
    while (layer.TakeIdentificationReply(record) == 1) {
      serials.push_back(record.SerialNumber());
    }
  }
  return serials;
}

class SpeakerBusTest : public ::testing::Test {
 protected:
  SpeakerBus bus;
  BusDriver pc{bus};
};

TEST_F(SpeakerBusTest, IdentificationRepliesAreStaggeredWholeFrames) {
  std::vector<std::uint32_t> expected;
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
  pc.Identify();
  const std::vector<SpeakerRecord> records = pc.RecordsUntil(4000);
  ASSERT_EQ(records.size(), 19u);
  EXPECT_EQ(records[0].type, 4);
  EXPECT_EQ(records[0].entryCount, 3);
  EXPECT_TRUE(records[0].HasKind(kKindBoot) && records[0].HasKind(4) &&
              records[0].HasKind(kKindFpga));
}

TEST_F(SpeakerBusTest, SpeakersWithTheSameDelayAnswerInOneBurst) {
  SpeakerConfig first = MakeSpeaker(1, 4);
  SpeakerConfig second = MakeSpeaker(2, 5);
  first.replyDelayMs = second.replyDelayMs = 40;
  bus.AddSpeaker(first);
  bus.AddSpeaker(second);
  pc.Identify();
  const std::vector<Arrival> arrivals = pc.Collect(1000);
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_EQ(arrivals[0].timeMs, 40);
  EXPECT_EQ(SerialsIn(arrivals), (std::vector<std::uint32_t>{1, 2}));
}

TEST_F(SpeakerBusTest, BootSignalFollowsItsScheduleOnlyInIdleBootMode) {
  SpeakerConfig signalling = MakeSpeaker(9, 4, SpeakerMode::kApplication);
  signalling.bootSignalPeriodMs = 500;
  bus.AddSpeaker(signalling);
  EXPECT_TRUE(pc.Collect(2000).empty());

  pc.SetMode(kBootMode);  // at 2000: signals at 2500, 3000, ...
  std::vector<Arrival> arrivals = pc.Collect(3200);
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_EQ(arrivals[0].timeMs, 2500);
  EXPECT_EQ(arrivals[1].timeMs, 3000);
  EXPECT_EQ(arrivals[1].bytes, (Bytes{0xFE, 0x00}));

  // Busy with an upload: no signal; after DONE the schedule resumes.
  const Bytes image = BuildFirmwareImage(kKindBoot, kAnyModel, 1, 7, 10);
  pc.SendFrame(pc.UploadStartFrame(image));
  EXPECT_EQ(pc.Collect(4400).size(), 1u);  // READY only
  pc.SendFrame(pc.BlockFrame(image, 0));
  arrivals = pc.Collect(5100);
  // DONE, then the signals of the schedule counted from 2000; the ones due during the upload
  // (3500, 4000) were never sent.
  ASSERT_EQ(arrivals.size(), 3u);
  EXPECT_EQ(arrivals[0].timeMs, 4415);
  EXPECT_EQ(arrivals[1].timeMs, 4500);
  EXPECT_EQ(arrivals[2].timeMs, 5000);

  pc.SetMode(kApplicationMode);
  EXPECT_TRUE(pc.Collect(8000).empty());
}

TEST_F(SpeakerBusTest, UploadRebuildsTheImageAndInstallsItsVersion) {
  bus.AddSpeaker(MakeSpeaker(11, 4));
  SpeakerConfig withoutBoot = MakeSpeaker(12, 4);
  withoutBoot.software = {{4, 1, 0}};
  bus.AddSpeaker(withoutBoot);

  const Bytes application = BuildFirmwareImage(kKindApplication, 4, 1, 23, 1000);
  ErrorLog log = pc.Upload(application);
  EXPECT_EQ(Codes(log), (CodeList{kReplyReady, kReplyReady, kReplyDone, kReplyDone}));
  EXPECT_EQ(log.Events()[0].serial, 11);
  EXPECT_EQ(log.Events()[1].serial, 12);
  for (int position : {0, 1}) {
    const SpeakerState state = bus.Speaker(position);
    EXPECT_TRUE(state.upload.complete);
    EXPECT_EQ(state.upload.payload, PayloadOf(application));
    EXPECT_EQ(state.upload.blockSize, 40960);
    ASSERT_EQ(state.software.size(), position == 0 ? 3u : 1u);
    const SoftwareEntry& installed = state.software[position == 0 ? 1 : 0];
    EXPECT_EQ(installed.kind, 4);
    EXPECT_EQ(installed.major, 1);
    EXPECT_EQ(installed.minor, 23);
  }

  // A boot loader for every model gives the speaker that lacked one its entry.
  log = pc.Upload(BuildFirmwareImage(kKindBoot, kAnyModel, 1, 5, 70));
  EXPECT_EQ(Codes(log).back(), kReplyDone);
  const SpeakerState second = bus.Speaker(1);
  ASSERT_EQ(second.software.size(), 2u);
  EXPECT_EQ(second.software[1].kind, kKindBoot);
  EXPECT_EQ(second.software[1].minor, 5);
  EXPECT_EQ(second.uploadAttempts, 2);
}

TEST_F(SpeakerBusTest, ImagesMeantForOtherSpeakersGetTypeError) {
  Bytes noRoomForTheVersion = BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 0);
  noRoomForTheVersion.resize(kImageHeaderLength + 1);
  const std::pair<const char*, Bytes> cases[] = {
      {"another model", BuildFirmwareImage(kKindApplication, 5, 1, 0, 100)},
      {"application for any model", BuildFirmwareImage(kKindApplication, kAnyModel, 1, 0, 100)},
      {"unknown kind", BuildFirmwareImage(9, kAnyModel, 1, 0, 100)},
      {"no room for the version", noRoomForTheVersion}};
  for (const auto& [name, image] : cases) {
    SpeakerBus fresh;
    BusDriver driver(fresh);
    fresh.AddSpeaker(MakeSpeaker(21, 4));
    EXPECT_EQ(Codes(driver.Upload(image)), CodeList{kReplyTypeError}) << name;
    const SoftwareEntry application = fresh.Speaker(0).software[1];
    EXPECT_EQ(application.major * 100 + application.minor, 100) << name;
  }
}

TEST_F(SpeakerBusTest, DamagedUploadsGetTheMatchingErrorAndEndTheSpeakersPart) {
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 2, 0, 400);
  // Adds to one byte (counted from the end when negative), then reseals the frame.
  const auto changed = [](std::ptrdiff_t at, int add) {
    return [at, add](Bytes frame) {
      std::uint8_t& byte = frame[static_cast<std::size_t>(at < 0 ? frame.size() + at : at)];
      byte = static_cast<std::uint8_t>((byte + add) & 0x7F);
      return Resealed(frame);
    };
  };
  struct Case {
    const char* name;
    std::int32_t damagedBlock;
    std::function<Bytes(Bytes frame)> damage;
    std::uint8_t code;
  };
  const Case cases[] = {
      {"frame checksum", 2,
       [](Bytes frame) {
         frame[frame.size() - 2] ^= 0x01;
         return frame;
       },
       kReplyChecksumError},
      {"block skipped", 1, [&image](Bytes) { return BusDriver::BlockFrame(image, 2); },
       kReplyCountError},
      {"length field", 0, changed(4, -1), kReplyCountError},
      {"nibble above 15", 3, changed(6, 0x10), kReplyChecksumError},
      {"data checksum", 1, changed(-3, 1), kReplyChecksumError}};
  for (const Case& c : cases) {
    SpeakerBus fresh;
    BusDriver driver(fresh);
    fresh.AddSpeaker(MakeSpeaker(31, 4));
    const ErrorLog log = driver.Upload(image, [&c](std::int32_t index, Bytes frame) {
      return index == c.damagedBlock ? c.damage(std::move(frame)) : frame;
    });
    EXPECT_EQ(Codes(log), (CodeList{kReplyReady, c.code})) << c.name;
    EXPECT_EQ(fresh.Speaker(0).upload.payload.size(),
              static_cast<std::size_t>(c.damagedBlock * kFileBytesPerBlock))
        << c.name;
    EXPECT_FALSE(fresh.Speaker(0).upload.complete) << c.name;
  }
}

TEST_F(SpeakerBusTest, UploadStartsThatDoNotAddUpAreRefused) {
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 2, 0, 100);
  bus.AddSpeaker(MakeSpeaker(41, 4));
  // Announced block size that does not belong to header byte 0.
  Bytes start = pc.UploadStartFrame(image);
  start[3 + 5] ^= 0x01;
  pc.SendFrame(Resealed(start));
  EXPECT_EQ(Codes(pc.StatusUntil(1000)), CodeList{kReplySectorError});

  // A start with a broken checksum is not heard at all.
  start = pc.UploadStartFrame(image);
  start[4] ^= 0x01;
  pc.SendFrame(start);
  EXPECT_TRUE(pc.StatusUntil(pc.now + 1000).Events().empty());

  // More bytes than announced: the announced length is one byte short.
  const ErrorLog log = pc.Upload(image, [](std::int32_t index, Bytes frame) {
    if (index == -1) {
      frame[3 + 8] -= 1;
      frame = Resealed(frame);
    }
    return frame;
  });
  EXPECT_EQ(Codes(log), (CodeList{kReplyReady, kReplyCountError}));
}

TEST_F(SpeakerBusTest, InjectedErrorHitsOnlyItsAttemptAndBlock) {
  SpeakerConfig faulty = MakeSpeaker(51, 4);
  faulty.injectedErrors = {{1, 3, kReplyChecksumError}, {2, 0, kReplySectorError}};
  bus.AddSpeaker(faulty);
  bus.AddSpeaker(MakeSpeaker(52, 4));
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 3, 1, 500);

  for (const std::uint8_t code : {kReplyChecksumError, kReplySectorError, kReplyDone}) {
    EXPECT_EQ(Codes(pc.Upload(image)), (CodeList{kReplyReady, kReplyReady, code, kReplyDone}));
  }
  EXPECT_EQ(bus.Speaker(0).uploadAttempts, 3);
  EXPECT_EQ(bus.Speaker(0).upload.payload, PayloadOf(image));
}

TEST_F(SpeakerBusTest, RecordingKeepsEveryFrameWithItsFieldsAndTheSequenceWrapsAfter128) {
  pc.now = 100;
  pc.Identify();
  pc.now = 350;
  pc.SetMode(kApplicationMode, kBootSignalDestination);
  pc.SendFrame({0x01, kFrameEnd, 0x33});  // bytes outside a frame are not frames
  bus.AddSpeaker(MakeSpeaker(61, 4));
  const Bytes image = BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 129 * 66 - 2);
  ASSERT_EQ(BusDriver::BlockCount(image), 129);
  EXPECT_EQ(Codes(pc.Upload(image)), (CodeList{kReplyReady, kReplyDone}));

  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 132u);
  EXPECT_EQ(frames[0].timeMs, 100);
  EXPECT_EQ(frames[0].bytes, (Bytes{0xF0, 0x7F, 0x66, 0x6E, 0xF7}));
  EXPECT_EQ(frames[0].command, kIdentifyRequest);
  EXPECT_TRUE(frames[0].checksumOk);
  EXPECT_EQ(frames[0].sequence, -1);
  EXPECT_EQ(frames[1].timeMs, 350);
  EXPECT_EQ(frames[1].destination, 0x00);
  EXPECT_EQ(frames[1].payload, Bytes{kApplicationMode});
  EXPECT_EQ(frames[3].timeMs, 350 + 1000);
  EXPECT_EQ(frames[3].command, kDataBlock);
  EXPECT_EQ(frames[3].sequence, 0);
  EXPECT_EQ(frames[130].sequence, 127);
  EXPECT_EQ(frames[131].sequence, 0);
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
  EXPECT_EQ(SerialsIn(arrivals), (std::vector<std::uint32_t>{71, 73, 73}));

  // The garbled speaker's later replies are sound.
  pc.Identify();
  EXPECT_EQ(pc.RecordsUntil(2000).size(), 4u);
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
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_EQ(arrivals[1].timeMs, 200);
  EXPECT_EQ(arrivals[1].bytes, noise);

  pc.SendFrame(pc.BlockFrame(image, 0));
  EXPECT_FALSE(bus.Vanished());
  pc.SendFrame(pc.BlockFrame(image, 1));
  EXPECT_TRUE(bus.Vanished());
  pc.Identify();
  EXPECT_TRUE(pc.Collect(5000).empty());
  EXPECT_EQ(bus.Frames().size(), 3u);
}

}  // namespace
}  // namespace flashdesk::sim
