// The byte-exact examples of the bus: commands as SendCommand puts them on the line, replies as
// speakers send them and what the message layer makes of them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "log/ErrorLog.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
#include "tests/protocol/RecordingSerialApi.h"
#include "transport/SerialPort.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct SentExample {
  std::string name;
  // Fills the frame buffer and returns the command and destination to send it with.
  std::function<std::pair<std::uint8_t, std::uint8_t>(std::uint8_t* frame)> build;
  Bytes expected;
};

void PrintTo(const SentExample& example, std::ostream* os) {
  *os << example.name;
}

class SentFrames : public ::testing::TestWithParam<SentExample> {};

TEST_P(SentFrames, GoOnTheLineByteForByte) {
  testing::RecordingSerialApi api;
  SerialPort port(api);
  ASSERT_TRUE(port.Open(1));
  std::uint8_t frame[1030];
  std::memset(frame, 0xAA, sizeof frame);
  const auto [command, destination] = GetParam().build(frame);
  port.SendCommand(command, destination, frame);
  EXPECT_EQ(api.written, GetParam().expected);
}

const std::uint8_t kHeader[3] = {0x00, 0x03, 0x01};
const std::uint8_t kSingleA5 = 0xA5;

INSTANTIATE_TEST_SUITE_P(
    Examples, SentFrames,
    ::testing::Values(SentExample{"IdentificationRequest",
                                  [](std::uint8_t* f) {
                                    WriteIdentifyRequest(f);
                                    return std::make_pair(kIdentifyRequest, kEverySpeaker);
                                  },
                                  {0xF0, 0x7F, 0x66, 0x6E, 0xF7}},
                      SentExample{"BootModeToEverySpeaker",
                                  [](std::uint8_t* f) {
                                    WriteModeCommand(f, kBootMode);
                                    return std::make_pair(kModeCommand, kEverySpeaker);
                                  },
                                  {0xF0, 0x7F, 0x64, 0x01, 0x70, 0xF7}},
                      SentExample{"ApplicationModeAfterBootSignal",
                                  [](std::uint8_t* f) {
                                    WriteModeCommand(f, kApplicationMode);
                                    return std::make_pair(kModeCommand, kBootSignalDestination);
                                  },
                                  {0xF0, 0x00, 0x64, 0x03, 0x1D, 0xF7}},
                      SentExample{"ModeByteKeptToSevenBits",
                                  [](std::uint8_t* f) {
                                    WriteModeCommand(f, 0x81);
                                    return std::make_pair(kModeCommand, kEverySpeaker);
                                  },
                                  {0xF0, 0x7F, 0x64, 0x01, 0x70, 0xF7}},
                      SentExample{
                          "DataBlockOfOneByte",
                          [](std::uint8_t* f) {
                            WriteDataBlock(f, 0, &kSingleA5, 1);
                            return std::make_pair(kDataBlock, kEverySpeaker);
                          },
                          {0xF0, 0x7F, 0x63, 0x00, 0x00, 0x03, 0x0A, 0x05, 0x25, 0x50, 0xF7}},
                      SentExample{"UploadStart",
                                  [](std::uint8_t* f) {
                                    WriteUploadStart(f, kHeader, BlockSizeFor(kHeader[0]), 100000);
                                    return std::make_pair(kUploadStart, kEverySpeaker);
                                  },
                                  {0xF0, 0x7F, 0x62, 0x00, 0x03, 0x01, 0x00, 0x20, 0x00, 0x06, 0x0D,
                                   0x20, 0x72, 0xF7}}),
    [](const ::testing::TestParamInfo<SentExample>& info) { return info.param.name; });

TEST(SentFrames, FullDataBlockIs141BytesWithLengthField133) {
  testing::RecordingSerialApi api;
  SerialPort port(api);
  ASSERT_TRUE(port.Open(1));
  std::uint8_t bytes[kFileBytesPerBlock];
  for (int i = 0; i < kFileBytesPerBlock; ++i) {
    bytes[i] = static_cast<std::uint8_t>(0xF0 + i);  // high nibbles of F0..F7 must not leak
  }
  std::uint8_t frame[1030];
  WriteDataBlock(frame, 127, bytes, kFileBytesPerBlock);
  port.SendCommand(kDataBlock, kEverySpeaker, frame);
  ASSERT_EQ(api.written.size(), static_cast<std::size_t>(kLargestFrame));
  EXPECT_EQ(api.written[3], 127);
  EXPECT_EQ(api.written[4], 1);
  EXPECT_EQ(api.written[5], 5);
  for (std::size_t i = 1; i + 1 < api.written.size(); ++i) {
    EXPECT_LT(api.written[i], 0x80) << "body byte " << i;
  }
  EXPECT_EQ(api.written.back(), kFrameEnd);
}

// A reply example: the frame a speaker sends, as built and as parsed.
const Bytes kIdentificationReply = {0xF0, 0x00, 0x67, 0x00, 0x4B, 0x2D, 0x07, 0x04, 0x00,
                                    0x02, 0x01, 0x01, 0x05, 0x04, 0x02, 0x0A, 0x0B, 0xF7};
const Bytes kStatusDone = {0xF0, 0x00, 0x65, 0x00, 0x4B, 0x2D, 0x07, 0x00, 0x7E, 0xF7};

struct ReplyExample {
  std::string name;
  std::function<Bytes()> build;
  Bytes expected;
};

void PrintTo(const ReplyExample& example, std::ostream* os) {
  *os << example.name;
}

class ReplyFrames : public ::testing::TestWithParam<ReplyExample> {};

TEST_P(ReplyFrames, AreBuiltByteForByte) {
  EXPECT_EQ(GetParam().build(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ReplyFrames,
    ::testing::Values(
        ReplyExample{"Identification",
                     [] {
                       return IdentificationReplyFrame(0, 1234567, 4, 0, {{1, 1, 5}, {4, 2, 10}});
                     },
                     kIdentificationReply},
        ReplyExample{"StatusDone", [] { return StatusReplyFrame(0, 1234567, 0); }, kStatusDone}),
    [](const ::testing::TestParamInfo<ReplyExample>& info) { return info.param.name; });

TEST(ReplyFrames, IdentificationReplyGivesTheRecord) {
  MessageLayer layer;
  layer.Append(kIdentificationReply.data(), static_cast<std::int32_t>(kIdentificationReply.size()));
  SpeakerRecord record;
  ASSERT_EQ(layer.TakeIdentificationReply(record), 1);
  const Bytes expectedRecord = {0x00, 0x4B, 0x2D, 0x07, 0x04, 0x00, 0x02,
                                0x01, 0x01, 0x05, 0x04, 0x02, 0x0A};
  Bytes got(sizeof record);
  std::memcpy(got.data(), &record, sizeof record);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 13), expectedRecord);
  EXPECT_EQ(record.SerialNumber(), 1234567u);
  // The two slots the speaker did not report never pass for FPGA software.
  EXPECT_EQ(record.entries[2].kind, kEmptySlotKind);
  EXPECT_EQ(record.entries[3].kind, kEmptySlotKind);
  EXPECT_FALSE(record.HasKind(kKindFpga));
}

TEST(ReplyFrames, StatusRepliesBecomeEventsWhateverTheCode) {
  const Bytes codeNine = StatusReplyFrame(0, 1234567, 9);
  MessageLayer layer;
  layer.Append(kStatusDone.data(), static_cast<std::int32_t>(kStatusDone.size()));
  layer.Append(codeNine.data(), static_cast<std::int32_t>(codeNine.size()));
  ErrorLog log;
  layer.TakeStatusReplies(log);
  ASSERT_EQ(log.Events().size(), 2u);
  EXPECT_EQ(log.Events()[0].serial, 1234567);
  EXPECT_EQ(log.Events()[0].code, kReplyDone);
  EXPECT_EQ(log.Events()[1].serial, 1234567);
  EXPECT_EQ(log.Events()[1].code, 9);
  EXPECT_STREQ(ReplyWord(log.Events()[1].code), "UNKNOWN CODE 9");
}

TEST(Sealing, IdentificationRequestGetsChecksumAndLength) {
  std::uint8_t frame[8] = {0xF0, 0x7F, 0x66, 0xF7, 0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(Seal(frame), 5);
  EXPECT_EQ(Bytes(frame, frame + 6), (Bytes{0xF0, 0x7F, 0x66, 0x6E, 0xF7, 0xAA}));
}

TEST(Sealing, ReceiverAcceptsWhatWasSealedAndNothingElse) {
  const Bytes frame = StatusReplyFrame(0x11, 0x0ABCDEF, 4);
  Bytes body(frame.begin() + 1, frame.end() - 1);
  const auto length = static_cast<std::int32_t>(body.size());
  EXPECT_TRUE(BodyChecksumHolds(body.data(), length));
  for (std::size_t i = 0; i < body.size(); ++i) {
    Bytes broken = body;
    broken[i] ^= 0x01;
    EXPECT_FALSE(BodyChecksumHolds(broken.data(), length)) << "flipped byte " << i;
  }
  EXPECT_FALSE(BodyChecksumHolds(body.data(), 0));
}

}  // namespace
}  // namespace flashdesk
