// Long random-input run of the message layer: random bytes, bytes that look like frames and
// damaged real replies, cut into random bursts and taken by random parsers. Under AddressSanitizer
// any read or write outside the layer's storage fails the run; after every round a clean reply
// must still be recognised.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "log/ErrorLog.h"
#include "protocol/Commands.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ByteSource {
 public:
  explicit ByteSource(std::uint32_t seed) : random(seed) {}

  std::uint32_t Below(std::uint32_t limit) {
    return std::uniform_int_distribution<std::uint32_t>(0, limit - 1)(random);
  }

  // One chunk of hostile input.
  Bytes Chunk() {
    Bytes out;
    switch (Below(4)) {
      case 0:  // pure noise, frame bytes included
        for (std::uint32_t i = Below(700); i > 0; --i) {
          out.push_back(static_cast<std::uint8_t>(Below(256)));
        }
        break;
      case 1:  // a real reply with some bytes damaged, cut or repeated
        out = Below(2) ? StatusReplyFrame(Byte(), Below(1u << 28), Byte())
                       : IdentificationReplyFrame(Byte(), Below(1u << 28), Byte(), Byte(),
                                                  RandomEntries());
        for (std::uint32_t i = Below(3); i > 0; --i) {
          out[Below(static_cast<std::uint32_t>(out.size()))] =
              static_cast<std::uint8_t>(Below(256));
        }
        out.resize(Below(static_cast<std::uint32_t>(out.size()) + 1));
        break;
      case 2: {  // a frame start followed by a long 7-bit run, near the limits
        out.push_back(kFrameStart);
        out.push_back(0);
        out.push_back(Below(2) ? kIdentifyReply : kStatusReply);
        for (std::uint32_t i = 100 + Below(500); i > 0; --i) {
          out.push_back(Byte());
        }
        if (Below(2)) {
          out.push_back(kFrameEnd);
        }
        break;
      }
      default:  // boot signals mixed with frame ends
        for (std::uint32_t i = Below(20); i > 0; --i) {
          const std::uint8_t pick[] = {0xFE, 0x00, kFrameStart, kFrameEnd};
          out.push_back(pick[Below(4)]);
        }
        break;
    }
    return out;
  }

 private:
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(128)); }
  std::vector<SoftwareEntry> RandomEntries() {
    std::vector<SoftwareEntry> entries(Below(45));
    for (SoftwareEntry& entry : entries) {
      entry = {Byte(), Byte(), Byte()};
    }
    return entries;
  }

  std::mt19937 random;
};

TEST(MessageLayerFuzz, HostileInputNeverBreaksTheLayer) {
  ByteSource source(20240611);
  MessageLayer layer;
  ErrorLog log;
  const Bytes cleanReply = IdentificationReplyFrame(0, 0x0ABCDEF, 4, 0, {{1, 2, 3}});
  const Bytes cleanStatus = StatusReplyFrame(0, 0x0ABCDEF, kReplyCountError);
  std::uint64_t fed = 0;
  int rounds = 0;
  while (fed < 6000000) {
    const Bytes chunk = source.Chunk();
    fed += chunk.size();
    // Random burst sizes, including bursts larger than what is free in the ring.
    for (std::size_t at = 0; at < chunk.size();) {
      const std::size_t burst = 1 + source.Below(1200);
      const std::size_t count = std::min(burst, chunk.size() - at);
      layer.Append(chunk.data() + at, static_cast<std::int32_t>(count));
      at += count;
      SpeakerRecord record;
      switch (source.Below(3)) {
        case 0:
          ASSERT_LE(layer.TakeIdentificationReply(record), 1);
          ASSERT_LE(record.entryCount, SpeakerRecord::kSlots);
          break;
        case 1:
          layer.TakeStatusReplies(log);
          break;
        default:
          layer.TakeBootSignal();
          break;
      }
      ASSERT_GE(layer.PendingBytes(), 0);
      ASSERT_LE(layer.PendingBytes(), 4096);
    }
    log.Clear();
    if (++rounds % 64 == 0) {
      // Whatever came before, the layer finds its way back to clean replies.
      layer.TakeStatusReplies(log);
      log.Clear();
      layer.Append(cleanReply.data(), static_cast<std::int32_t>(cleanReply.size()));
      layer.Append(cleanStatus.data(), static_cast<std::int32_t>(cleanStatus.size()));
      SpeakerRecord record;
      ASSERT_EQ(layer.TakeIdentificationReply(record), 1) << "round " << rounds;
      EXPECT_EQ(record.SerialNumber(), 0x0ABCDEFu);
      layer.TakeStatusReplies(log);
      ASSERT_EQ(log.Events().size(), 1u) << "round " << rounds;
      EXPECT_EQ(log.Events()[0].code, kReplyCountError);
      log.Clear();
    }
  }
}

}  // namespace
}  // namespace flashdesk
