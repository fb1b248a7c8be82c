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
#include "tests/transport/RecordingSerialApi.h"
#include "transport/SerialPort.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What SendCommand puts on the line for a frame the writer fills.
Bytes Sent(std::uint8_t command, std::uint8_t destination,
           const std::function<void(std::uint8_t*)>& write) {
  fakes::RecordingSerialApi api;
  SerialPort port(api);
  EXPECT_TRUE(port.Open(1));
  std::uint8_t frame[1030];
  std::memset(frame, 0xAA, sizeof frame);
  write(frame);
  port.SendCommand(command, destination, frame);
  return api.written;
}

const Bytes kIdentificationReply = {0xF0, 0x00, 0x67, 0x00, 0x4B, 0x2D, 0x07, 0x04, 0x00,
                                    0x02, 0x01, 0x01, 0x05, 0x04, 0x02, 0x0A, 0x0B, 0xF7};
const Bytes kStatusDone = {0xF0, 0x00, 0x65, 0x00, 0x4B, 0x2D, 0x07, 0x00, 0x7E, 0xF7};
const std::uint8_t kHeader[3] = {0x00, 0x03, 0x01};
const std::uint8_t kSingleA5 = 0xA5;

// The speaker record the message layer fills from a reply, byte for byte as the record is laid
// out: serial, type, reserved, entry count and the reported entries.
Bytes RecordOf(const Bytes& reply) {
  MessageLayer layer;
  layer.Append(reply.data(), static_cast<std::int32_t>(reply.size()));
  SpeakerRecord record;
  EXPECT_EQ(layer.TakeIdentificationReply(record), 1);
  Bytes bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return Bytes(bytes.begin(), bytes.begin() + 13);
}

struct Example {
  const char* name;
  std::function<Bytes()> produce;
  Bytes expected;
};

TEST(WireExamples, ByteForByte) {
  const Example examples[] = {
      {"identification request",
       [] { return Sent(kIdentifyRequest, kEverySpeaker, WriteIdentifyRequest); },
       {0xF0, 0x7F, 0x66, 0x6E, 0xF7}},
      {"boot mode to every speaker",
       [] {
         return Sent(kModeCommand, kEverySpeaker, [](auto f) { WriteModeCommand(f, kBootMode); });
       },
       {0xF0, 0x7F, 0x64, 0x01, 0x70, 0xF7}},
      {"application mode after a boot signal",
       [] {
         return Sent(kModeCommand, kBootSignalDestination,
                     [](auto f) { WriteModeCommand(f, kApplicationMode); });
       },
       {0xF0, 0x00, 0x64, 0x03, 0x1D, 0xF7}},
      {"mode byte kept to seven bits",
       [] { return Sent(kModeCommand, kEverySpeaker, [](auto f) { WriteModeCommand(f, 0x81); }); },
       {0xF0, 0x7F, 0x64, 0x01, 0x70, 0xF7}},
      {"data block of one byte",
       [] {
         return Sent(kDataBlock, kEverySpeaker,
                     [](auto f) { WriteDataBlock(f, 0, &kSingleA5, 1); });
       },
       {0xF0, 0x7F, 0x63, 0x00, 0x00, 0x03, 0x0A, 0x05, 0x25, 0x50, 0xF7}},
      {"upload start",
       [] {
         return Sent(kUploadStart, kEverySpeaker, [](auto f) {
           WriteUploadStart(f, kHeader, BlockSizeFor(kHeader[0]), 100000);
         });
       },
       {0xF0, 0x7F, 0x62, 0x00, 0x03, 0x01, 0x00, 0x20, 0x00, 0x06, 0x0D, 0x20, 0x72, 0xF7}},
      {"identification reply",
       [] {
         return IdentificationReplyFrame(0, 1234567, 4, 0, {{1, 1, 5}, {4, 2, 10}});
       },
       kIdentificationReply},
      {"identification record",
       [] { return RecordOf(kIdentificationReply); },
       {0x00, 0x4B, 0x2D, 0x07, 0x04, 0x00, 0x02, 0x01, 0x01, 0x05, 0x04, 0x02, 0x0A}},
      {"status reply DONE", [] { return StatusReplyFrame(0, 1234567, kReplyDone); }, kStatusDone},
  };
  for (const Example& example : examples) {
    EXPECT_EQ(example.produce(), example.expected) << example.name;
  }
}

TEST(WireExamples, FullDataBlockIs141BytesOfSevenBitBody) {
  std::uint8_t bytes[kFileBytesPerBlock];
  for (int i = 0; i < kFileBytesPerBlock; ++i) {
    bytes[i] = static_cast<std::uint8_t>(0xF0 + i);  // high nibbles of F0..F7 must not leak
  }
  const Bytes sent = Sent(kDataBlock, kEverySpeaker,
                          [&](auto f) { WriteDataBlock(f, 127, bytes, kFileBytesPerBlock); });
  ASSERT_EQ(sent.size(), static_cast<std::size_t>(kLargestFrame));
  EXPECT_EQ(Bytes(sent.begin() + 3, sent.begin() + 6), (Bytes{127, 1, 5}));  // sequence, 133
  for (std::size_t i = 1; i + 1 < sent.size(); ++i) {
    EXPECT_LT(sent[i], 0x80) << "body byte " << i;
  }
  EXPECT_EQ(sent.back(), kFrameEnd);
}

TEST(WireExamples, StatusRepliesBecomeEventsWhateverTheCode) {
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
}

TEST(WireExamples, ReceiverAcceptsWhatWasSealedAndNothingElse) {
  const Bytes frame = StatusReplyFrame(0x11, 0x0ABCDEF, 4);
  const Bytes body(frame.begin() + 1, frame.end() - 1);
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
