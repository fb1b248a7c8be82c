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
using testing::MakeSpeaker;

std::vector<std::uint8_t> Codes(const ErrorLog& log) {
  std::vector<std::uint8_t> codes;
  for (const LogEvent& event : log.Events()) {
    codes.push_back(event.code);
  }
  return codes;
}

Bytes PayloadOf(const Bytes& image) {
  return Bytes(image.begin() + kImageHeaderLength, image.end());
}

Bytes WithPayloadOf(std::size_t length, Bytes image) {
  image.resize(kImageHeaderLength + length);
  return image;
}

// Recomputes the checksum of a frame whose payload a test has changed.
Bytes Resealed(Bytes frame) {
  frame[frame.size() - 2] = kFrameEnd;
  frame.resize(static_cast<std::size_t>(Seal(frame.data())));
  return frame;
}

class SpeakerBusTest : public ::testing::Test {
 protected:
  SpeakerBus bus;
  BusDriver pc{bus};
};

TEST_F(SpeakerBusTest, IdentificationRepliesAreStaggeredAndNeverInterleave) {
  for (std::uint32_t i = 0; i < 19; ++i) {
    bus.AddSpeaker(MakeSpeaker(1000 + i, 4));
  }
  pc.Identify();
  const std::vector<Arrival> arrivals = pc.Collect(2000);
  ASSERT_EQ(arrivals.size(), 19u);
  MessageLayer layer;
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    EXPECT_EQ(arrivals[i].timeMs, 15 + 30 * static_cast<std::int64_t>(i));
    // Every arrival is exactly one whole frame.
    EXPECT_EQ(arrivals[i].bytes.front(), kFrameStart);
    EXPECT_EQ(arrivals[i].bytes.back(), kFrameEnd);
    layer.Append(arrivals[i].bytes.data(), static_cast<std::int32_t>(arrivals[i].bytes.size()));
    SpeakerRecord record;
    ASSERT_EQ(layer.TakeIdentificationReply(record), 1);
    EXPECT_EQ(record.SerialNumber(), 1000 + i);
    EXPECT_EQ(record.type, 4);
    EXPECT_EQ(record.entryCount, 3);
    EXPECT_TRUE(record.HasKind(kKindBoot) && record.HasKind(4) && record.HasKind(kKindFpga));
  }
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
  EXPECT_EQ(arrivals[0].bytes.size(), 2 * (12 + 3 * 3u));
}

TEST_F(SpeakerBusTest, SilentApplicationSpeakerAnswersOnlyInBootMode) {
  SpeakerConfig silent = MakeSpeaker(7, 6, SpeakerMode::kApplication);
  silent.silentInApplication = true;
  bus.AddSpeaker(silent);
  bus.AddSpeaker(MakeSpeaker(8, 8, SpeakerMode::kApplication));

  pc.Identify();
  std::vector<SpeakerRecord> heard = pc.RecordsUntil(500);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].SerialNumber(), 8u);

  pc.SetMode(kBootMode);
  pc.Identify();
  EXPECT_EQ(pc.RecordsUntil(1000).size(), 2u);
  EXPECT_EQ(bus.Speaker(0).mode, SpeakerMode::kBoot);

  pc.SetMode(kApplicationMode, kBootSignalDestination);
  pc.Identify();
  heard = pc.RecordsUntil(1500);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].SerialNumber(), 8u);
  EXPECT_EQ(bus.Speaker(1).mode, SpeakerMode::kApplication);
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
  arrivals = pc.Collect(4400);
  ASSERT_EQ(arrivals.size(), 1u);  // READY only
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
  EXPECT_EQ(Codes(log),
            (std::vector<std::uint8_t>{kReplyReady, kReplyReady, kReplyDone, kReplyDone}));
  EXPECT_EQ(log.Events()[0].serial, 11);
  EXPECT_EQ(log.Events()[1].serial, 12);
  for (int position : {0, 1}) {
    const SpeakerState state = bus.Speaker(position);
    EXPECT_TRUE(state.upload.complete);
    EXPECT_EQ(state.upload.payload, PayloadOf(application));
    EXPECT_EQ(state.upload.blockSize, 40960);
    EXPECT_EQ(state.software.size(), position == 0 ? 3u : 1u);
    bool found = false;
    for (const SoftwareEntry& entry : state.software) {
      if (entry.kind == 4) {
        found = true;
        EXPECT_EQ(entry.major, 1);
        EXPECT_EQ(entry.minor, 23);
      }
    }
    EXPECT_TRUE(found);
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
  struct Case {
    std::string name;
    Bytes image;
  };
  const Case cases[] = {
      {"another model", BuildFirmwareImage(kKindApplication, 5, 1, 0, 100)},
      {"application for any model", BuildFirmwareImage(kKindApplication, kAnyModel, 1, 0, 100)},
      {"unknown kind", BuildFirmwareImage(9, kAnyModel, 1, 0, 100)},
      {"no room for the version",
       WithPayloadOf(1, BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 0))},
  };
  for (const Case& c : cases) {
    SpeakerBus fresh;
    BusDriver driver(fresh);
    fresh.AddSpeaker(MakeSpeaker(21, 4));
    const ErrorLog log = driver.Upload(c.image);
    EXPECT_EQ(Codes(log), std::vector<std::uint8_t>{kReplyTypeError}) << c.name;
    EXPECT_EQ(fresh.Speaker(0).software[1].major, 1) << c.name;
    EXPECT_EQ(fresh.Speaker(0).software[1].minor, 0) << c.name;
  }
}

TEST_F(SpeakerBusTest, DamagedUploadsGetTheMatchingErrorAndEndTheSpeakersPart) {
  struct Case {
    std::string name;
    std::int32_t damagedBlock;
    std::function<Bytes(BusDriver&, const Bytes& image, std::int32_t block)> frame;
    std::uint8_t code;
  };
  const auto broken = [](Bytes frame, std::size_t at, std::uint8_t value) {
    frame[at] = value;
    return Resealed(frame);
  };
  const Case cases[] = {
      {"frame checksum", 2,
       [](BusDriver& d, const Bytes& image, std::int32_t block) {
         Bytes frame = d.BlockFrame(image, block);
         frame[frame.size() - 2] ^= 0x01;
         return frame;
       },
       kReplyChecksumError},
      {"block skipped", 1,
       [](BusDriver& d, const Bytes& image, std::int32_t block) {
         return d.BlockFrame(image, block + 1);
       },
       kReplyCountError},
      {"length field", 0,
       [&](BusDriver& d, const Bytes& image, std::int32_t block) {
         return broken(d.BlockFrame(image, block), 4, 0x00);
       },
       kReplyCountError},
      {"nibble above 15", 3,
       [&](BusDriver& d, const Bytes& image, std::int32_t block) {
         return broken(d.BlockFrame(image, block), 6, 0x10);
       },
       kReplyChecksumError},
      {"data checksum", 1,
       [&](BusDriver& d, const Bytes& image, std::int32_t block) {
         Bytes frame = d.BlockFrame(image, block);
         return broken(frame, frame.size() - 3, (frame[frame.size() - 3] + 1) & 0x7F);
       },
       kReplyChecksumError},
  };
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 2, 0, 400);
  for (const Case& c : cases) {
    SpeakerBus fresh;
    BusDriver driver(fresh);
    fresh.AddSpeaker(MakeSpeaker(31, 4));
    driver.SendFrame(driver.UploadStartFrame(image));
    ErrorLog log = driver.StatusUntil(1000);
    for (std::int32_t block = 0; block < BusDriver::BlockCount(image); ++block) {
      driver.SendFrame(block == c.damagedBlock ? c.frame(driver, image, block)
                                               : driver.BlockFrame(image, block));
      BusDriver::Append(log, driver.StatusUntil(driver.now + 120));
    }
    BusDriver::Append(log, driver.StatusUntil(driver.now + 1500));
    EXPECT_EQ(Codes(log), (std::vector<std::uint8_t>{kReplyReady, c.code})) << c.name;
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
  EXPECT_EQ(Codes(pc.StatusUntil(1000)), std::vector<std::uint8_t>{kReplySectorError});

  // More bytes than announced: the announced length is one byte short.
  start = pc.UploadStartFrame(image);
  start[3 + 8] -= 1;
  pc.SendFrame(Resealed(start));
  ErrorLog log = pc.StatusUntil(pc.now + 1000);
  for (std::int32_t block = 0; block < BusDriver::BlockCount(image); ++block) {
    pc.SendFrame(pc.BlockFrame(image, block));
    BusDriver::Append(log, pc.StatusUntil(pc.now + 120));
  }
  EXPECT_EQ(Codes(log), (std::vector<std::uint8_t>{kReplyReady, kReplyCountError}));

  // A start with a broken checksum is not heard at all.
  start = pc.UploadStartFrame(image);
  start[4] ^= 0x01;
  pc.SendFrame(start);
  EXPECT_TRUE(pc.StatusUntil(pc.now + 1000).Events().empty());
}

TEST_F(SpeakerBusTest, InjectedErrorHitsOnlyItsAttemptAndBlock) {
  SpeakerConfig faulty = MakeSpeaker(51, 4);
  faulty.injectedErrors = {{1, 3, kReplyChecksumError}, {2, 0, kReplySectorError}};
  bus.AddSpeaker(faulty);
  bus.AddSpeaker(MakeSpeaker(52, 4));
  const Bytes image = BuildFirmwareImage(kKindApplication, 4, 3, 1, 500);

  const std::vector<std::vector<std::uint8_t>> expected = {
      {kReplyReady, kReplyReady, kReplyChecksumError, kReplyDone},
      {kReplyReady, kReplyReady, kReplySectorError, kReplyDone},
      {kReplyReady, kReplyReady, kReplyDone, kReplyDone},
  };
  for (const auto& codes : expected) {
    EXPECT_EQ(Codes(pc.Upload(image)), codes);
  }
  EXPECT_EQ(bus.Speaker(0).uploadAttempts, 3);
  EXPECT_EQ(bus.Speaker(0).upload.payload, PayloadOf(image));
}

TEST_F(SpeakerBusTest, SequenceWrapsAfter128Blocks) {
  bus.AddSpeaker(MakeSpeaker(61, 4));
  const Bytes image = BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, 129 * 66 - 2);
  ASSERT_EQ(BusDriver::BlockCount(image), 129);
  EXPECT_EQ(Codes(pc.Upload(image)), (std::vector<std::uint8_t>{kReplyReady, kReplyDone}));
  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 130u);
  EXPECT_EQ(frames[128].sequence, 127);
  EXPECT_EQ(frames[129].sequence, 0);
}

TEST_F(SpeakerBusTest, RecordingKeepsEveryFrameWithItsTimeAndFields) {
  pc.now = 100;
  pc.Identify();
  pc.now = 350;
  pc.SetMode(kApplicationMode, kBootSignalDestination);
  pc.now = 400;
  const Bytes noise = {0x01, kFrameEnd, 0x33};  // bytes outside a frame are not frames
  pc.SendFrame(noise);
  pc.now = 500;
  const Bytes image = BuildFirmwareImage(kKindBoot, kAnyModel, 1, 0, 10);
  pc.SendFrame(pc.BlockFrame(image, 0));

  const std::vector<RecordedFrame> frames = bus.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].timeMs, 100);
  EXPECT_EQ(frames[0].bytes, (Bytes{0xF0, 0x7F, 0x66, 0x6E, 0xF7}));
  EXPECT_EQ(frames[0].command, kIdentifyRequest);
  EXPECT_TRUE(frames[0].checksumOk);
  EXPECT_EQ(frames[0].sequence, -1);
  EXPECT_EQ(frames[1].timeMs, 350);
  EXPECT_EQ(frames[1].destination, 0x00);
  EXPECT_EQ(frames[1].payload, Bytes{kApplicationMode});
  EXPECT_EQ(frames[2].timeMs, 500);
  EXPECT_EQ(frames[2].command, kDataBlock);
  EXPECT_EQ(frames[2].sequence, 0);
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

  MessageLayer layer;
  std::vector<std::uint32_t> serials;
  for (const Arrival& arrival : arrivals) {
    layer.Append(arrival.bytes.data(), static_cast<std::int32_t>(arrival.bytes.size()));
    SpeakerRecord record;
    while (layer.TakeIdentificationReply(record) == 1) {
      serials.push_back(record.SerialNumber());
    }
  }
  EXPECT_EQ(serials, (std::vector<std::uint32_t>{71, 73, 73}));

  // The garbled speaker's later replies are sound.
  pc.Identify();
  const std::vector<SpeakerRecord> again = pc.RecordsUntil(2000);
  EXPECT_EQ(again.size(), 4u);
}

TEST_F(SpeakerBusTest, NoiseAndVanishingAreInjectedOnCue) {
  SpeakerConfig vanishing = MakeSpeaker(81, 4);
  vanishing.vanishAfterBlocks = 2;
  vanishing.neverAnswers = false;
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
