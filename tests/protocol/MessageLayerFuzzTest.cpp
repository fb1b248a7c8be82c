// Noise and damaged real replies, cut into random bursts and taken by random parsers. Under
// AddressSanitizer a read or write outside the layer's storage fails the run; every 64 rounds a
// clean reply must still be recognised.
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

TEST(MessageLayerFuzz, HostileInputNeverBreaksTheLayer) {
  std::mt19937 random(20240611);
  const auto below = [&random](std::uint32_t limit) {
    return std::uniform_int_distribution<std::uint32_t>(0, limit - 1)(random);
  };
  const auto byte = [&below](std::uint32_t limit = 128) {
    return static_cast<std::uint8_t>(below(limit));
  };
  MessageLayer layer;
  ErrorLog log;
  SpeakerRecord record;
  Bytes clean = IdentificationReplyFrame(0, 0x0ABCDEF, 4, 0, {{1, 2, 3}});
  const Bytes cleanStatus = StatusReplyFrame(0, 0x0ABCDEF, kReplyCountError);
  clean.insert(clean.end(), cleanStatus.begin(), cleanStatus.end());
  for (int round = 1; round <= 12000; ++round) {
    Bytes chunk(below(700));
    if (below(2) == 0) {  // noise, frame bytes and boot signals included
      for (std::uint8_t& b : chunk)
        b = byte(256);
    } else {  // a real reply with bytes damaged, then cut
      std::vector<SoftwareEntry> entries(below(45));
      for (SoftwareEntry& entry : entries)
        entry = {byte(), byte(), byte()};
      chunk = below(2) ? StatusReplyFrame(byte(), below(1u << 28), byte())
                       : IdentificationReplyFrame(byte(), below(1u << 28), byte(), byte(), entries);
      for (std::uint32_t i = below(3); i > 0; --i)
        chunk[below(static_cast<std::uint32_t>(chunk.size()))] = byte(256);
      chunk.resize(below(static_cast<std::uint32_t>(chunk.size()) + 1));
    }
    // Random burst sizes, including bursts larger than what is free in the ring.
    for (std::size_t at = 0; at < chunk.size();) {
      const std::size_t count = std::min<std::size_t>(1 + below(1200), chunk.size() - at);
      layer.Append(chunk.data() + at, static_cast<std::int32_t>(count));
      at += count;
      const std::uint32_t parser = below(3);
      if (parser == 0)
        ASSERT_LE(layer.TakeIdentificationReply(record), 1);
      else if (parser == 1)
        layer.TakeStatusReplies(log);
      else
        layer.TakeBootSignal();
      ASSERT_LE(record.entryCount, SpeakerRecord::kSlots);
    }
    if (round % 64 == 0) {  // whatever came before, the layer finds its way back
      layer.TakeStatusReplies(log);
      log.Clear();
      layer.Append(clean.data(), static_cast<std::int32_t>(clean.size()));
      ASSERT_EQ(layer.TakeIdentificationReply(record), 1) << "round " << round;
      EXPECT_EQ(record.SerialNumber(), 0x0ABCDEFu);
      layer.TakeStatusReplies(log);
      ASSERT_EQ(log.Events().size(), 1u) << "round " << round;
      EXPECT_EQ(log.Events()[0].code, kReplyCountError);
    }
    log.Clear();
  }
}

}  // namespace
}  // namespace flashdesk
