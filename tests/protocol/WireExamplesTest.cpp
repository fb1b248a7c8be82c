// The byte-exact examples of the bus: commands as SendCommand puts them on the line, replies as
// speakers send them and what the message layer makes of them; and the packing beneath them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "protocol/Commands.h"
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
  SendCommand(port, command, destination, frame);
  return api.written;
}

const Bytes kIdentificationReply = {0xF0, 0x00, 0x67, 0x00, 0x4B, 0x2D, 0x07, 0x04, 0x00,
                                    0x02, 0x01, 0x01, 0x05, 0x04, 0x02, 0x0A, 0x0B, 0xF7};
const std::uint8_t kHeader[3] = {0x00, 0x03, 0x01};
// Summed and XORed they give different checksums.
const std::uint8_t kTwoBytes[2] = {0xA5, 0x3C};

// The speaker record the message layer fills from a reply, byte for byte as the record is laid
// out: serial, type, reserved, entry count and the reported entries.
Bytes RecordOf(const Bytes& reply) {
  MessageLayer layer;
  layer.Append(reply.data(), static_cast<std::int32_t>(reply.size()));
  SpeakerRecord record;
  EXPECT_EQ(layer.TakeIdentificationReply(record), 1);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
  return Bytes(raw, raw + 13);
}

TEST(WireExamples, ByteForByte) {
  const auto mode = [](std::uint8_t value) {
    return [value](std::uint8_t* frame) { WriteModeCommand(frame, value); };
  };
  const std::tuple<const char*, Bytes, Bytes> examples[] = {
      {"identification request",
       Sent(kIdentifyRequest, kEverySpeaker, WriteIdentifyRequest),
       {0xF0, 0x7F, 0x66, 0x6E, 0xF7}},
      {"boot mode to every speaker",
       Sent(kModeCommand, kEverySpeaker, mode(kBootMode)),
       {0xF0, 0x7F, 0x64, 0x01, 0x70, 0xF7}},
      {"application mode after a boot signal",
       Sent(kModeCommand, kBootSignalDestination, mode(kApplicationMode)),
       {0xF0, 0x00, 0x64, 0x03, 0x1D, 0xF7}},
      {"mode byte kept to seven bits",
       Sent(kModeCommand, kEverySpeaker, mode(0x81)),
       {0xF0, 0x7F, 0x64, 0x01, 0x70, 0xF7}},
      {"data block of two bytes",
       Sent(kDataBlock, kEverySpeaker, [](auto f) { WriteDataBlock(f, 5, kTwoBytes, 2); }),
       {0xF0, 0x7F, 0x63, 0x05, 0x00, 0x05, 0x0A, 0x05, 0x03, 0x0C, 0x61, 0x1A, 0xF7}},
      {"upload start",
       Sent(kUploadStart, kEverySpeaker,
            [](auto f) { WriteUploadStart(f, kHeader, BlockSizeFor(kHeader[0]), 100000); }),
       {0xF0, 0x7F, 0x62, 0x00, 0x03, 0x01, 0x00, 0x20, 0x00, 0x06, 0x0D, 0x20, 0x72, 0xF7}},
      {"identification reply", IdentificationReplyFrame(0, 1234567, 4, 0, {{1, 1, 5}, {4, 2, 10}}),
       kIdentificationReply},
      {"identification record",
       RecordOf(kIdentificationReply),
       {0x00, 0x4B, 0x2D, 0x07, 0x04, 0x00, 0x02, 0x01, 0x01, 0x05, 0x04, 0x02, 0x0A}},
      {"status reply DONE",
       StatusReplyFrame(0, 1234567, kReplyDone),
       {0xF0, 0x00, 0x65, 0x00, 0x4B, 0x2D, 0x07, 0x00, 0x7E, 0xF7}},
  };
  for (const auto& [name, produced, expected] : examples) {
    EXPECT_EQ(produced, expected) << name;
  }
}

TEST(Packing, GroupsAreSevenBitsMostSignificantFirst) {
  struct Case {
    std::uint32_t value;
    int groups;
    Bytes expected;
  };
  const Case cases[] = {{0xA000, 3, {2, 64, 0}},
                        {133, 2, {1, 5}},
                        {2097151, 3, {0x7F, 0x7F, 0x7F}},
                        {0x0FFFFFFF, 4, {0x7F, 0x7F, 0x7F, 0x7F}}};
  for (const Case& c : cases) {
    Bytes out(c.groups, 0xEE);
    PackGroups(c.value, c.groups, out.data());
    EXPECT_EQ(out, c.expected) << c.value;
    EXPECT_EQ(UnpackGroups(c.expected.data(), c.groups), c.value) << c.value;
  }
  // A value too wide keeps only its low groups.
  std::uint8_t out[3];
  PackGroups(2097152 + 5, 3, out);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{0, 0, 5}));
}

TEST(Packing, BlockSizeFollowsHeaderByteZero) {
  const std::pair<std::uint8_t, std::int32_t> cases[] = {{0, 4096},  {1, 16384}, {2, 40960},
                                                         {3, 90112}, {7, 90112}, {0xFF, 90112}};
  for (const auto& [header, size] : cases) {
    EXPECT_EQ(BlockSizeFor(header), size) << int{header};
  }
}

}  // namespace
}  // namespace flashdesk
