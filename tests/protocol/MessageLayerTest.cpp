#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "log/ErrorLog.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// A frame with any body, sealed so its checksum holds.
Bytes FrameWithBody(const Bytes& bodyWithoutChecksum) {
  Bytes frame = {kFrameStart};
  frame.insert(frame.end(), bodyWithoutChecksum.begin(), bodyWithoutChecksum.end());
  frame.push_back(kFrameEnd);
  frame.push_back(0);
  frame.resize(static_cast<std::size_t>(Seal(frame.data())));
  return frame;
}

class MessageLayerTest : public ::testing::Test {
 protected:
  void Append(const Bytes& bytes) {
    layer.Append(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  }
  bool TakeRecord() { return layer.TakeIdentificationReply(record) == 1; }

  MessageLayer layer;
  SpeakerRecord record;
  ErrorLog log;
};

const Bytes kReplyA = IdentificationReplyFrame(0, 111, 4, 0, {{1, 1, 5}, {4, 2, 10}, {0, 3, 0}});
const Bytes kReplyB = IdentificationReplyFrame(0, 222, 5, 9, {{1, 1, 6}});
const Bytes kReplyC = IdentificationReplyFrame(0, 333, 3, 0, {});
const Bytes kDone = StatusReplyFrame(0, 111, kReplyDone);

TEST_F(MessageLayerTest, StatusReplySplitOverTwoAppendsIsAssembledWhole) {
  const Bytes firstHalf(kDone.begin(), kDone.begin() + 5);
  const Bytes rest(kDone.begin() + 5, kDone.end());
  Append(firstHalf);
  layer.TakeStatusReplies(log);
  EXPECT_TRUE(log.Events().empty());
  Append(rest);
  layer.TakeStatusReplies(log);
  ASSERT_EQ(log.Events().size(), 1u);
  EXPECT_EQ(log.Events()[0].serial, 111);
}

TEST_F(MessageLayerTest, AssemblyStateIsSharedBetweenTheTwoParsers) {
  Append(Bytes(kDone.begin(), kDone.begin() + 4));
  EXPECT_FALSE(TakeRecord());
  Append(Bytes(kDone.begin() + 4, kDone.end()));
  layer.TakeStatusReplies(log);
  EXPECT_EQ(log.Events().size(), 1u);
}

TEST_F(MessageLayerTest, TwoRepliesInOneBurstAreTakenOneByOneInOrder) {
  Append(Concat({kReplyA, kReplyB}));
  ASSERT_TRUE(TakeRecord());
  EXPECT_EQ(record.SerialNumber(), 111u);
  EXPECT_EQ(layer.PendingBytes(), static_cast<std::int32_t>(kReplyB.size()));
  Append(kReplyC);
  ASSERT_TRUE(TakeRecord());
  EXPECT_EQ(record.SerialNumber(), 222u);
  ASSERT_TRUE(TakeRecord());
  EXPECT_EQ(record.SerialNumber(), 333u);
  EXPECT_FALSE(TakeRecord());
}

TEST_F(MessageLayerTest, IdentificationBodyMustMatchItsEntryCount) {
  // Entry count 3 announces a body of 19 bytes; this one has 18.
  const Bytes shortBody = FrameWithBody({0, 0x67, 0, 0, 1, 2, 4, 0, 3, 1, 1, 5, 4, 2, 10, 0, 3});
  const Bytes longBody = FrameWithBody({0, 0x67, 0, 0, 1, 2, 4, 0, 1, 1, 1, 5, 4});
  ASSERT_EQ(shortBody.size(), 20u);
  Append(Concat({shortBody, longBody}));
  EXPECT_FALSE(TakeRecord());
  EXPECT_EQ(layer.PendingBytes(), 0);
  Append(kReplyB);
  EXPECT_TRUE(TakeRecord());
  EXPECT_EQ(record.SerialNumber(), 222u);
}

TEST_F(MessageLayerTest, FramesThatFailAreSkippedAndTheNextOneCounts) {
  Bytes badChecksum = kDone;
  badChecksum[badChecksum.size() - 2] ^= 0x01;
  Bytes truncated(kReplyA.begin(), kReplyA.end() - 4);  // a new F0 restarts assembly
  const Bytes emptyFrame = {kFrameStart, kFrameEnd};
  const Bytes strayBytes = {0x12, kFrameEnd, 0x7F, 0x00};
  const Bytes shortStatus = FrameWithBody({0, kStatusReply, 1, 2});
  Append(Concat({strayBytes, badChecksum, emptyFrame, shortStatus, truncated, kDone}));
  layer.TakeStatusReplies(log);
  ASSERT_EQ(log.Events().size(), 1u);
  EXPECT_EQ(log.Events()[0].code, kReplyDone);
  EXPECT_EQ(layer.PendingBytes(), 0);
}

TEST_F(MessageLayerTest, ReplyOfTheOtherKindIsConsumedAndIgnored) {
  Append(kDone);
  EXPECT_FALSE(TakeRecord());
  EXPECT_EQ(layer.PendingBytes(), 0);
  Append(kReplyA);
  layer.TakeStatusReplies(log);
  EXPECT_TRUE(log.Events().empty());
  EXPECT_EQ(layer.PendingBytes(), 0);
}

TEST_F(MessageLayerTest, BootSignalLooksOnlyAtTheTwoOldestBytes) {
  Append({0x00, 0xFE, 0x00});
  EXPECT_FALSE(layer.TakeBootSignal());
  EXPECT_EQ(layer.PendingBytes(), 2);
  EXPECT_TRUE(layer.TakeBootSignal());
  EXPECT_EQ(layer.PendingBytes(), 0);

  Append({0xFE});
  EXPECT_FALSE(layer.TakeBootSignal());
  EXPECT_EQ(layer.PendingBytes(), 1);
  Append({0x00});
  EXPECT_TRUE(layer.TakeBootSignal());

  Append({0xFE, 0x01, 0xFE, 0x00});
  EXPECT_FALSE(layer.TakeBootSignal());
  EXPECT_EQ(layer.PendingBytes(), 2);
  EXPECT_TRUE(layer.TakeBootSignal());
}

TEST_F(MessageLayerTest, BootSignalTestInsideAFrameBreaksThatFrame) {
  Append(Bytes(kDone.begin(), kDone.begin() + 4));
  layer.TakeStatusReplies(log);
  Append(Bytes(kDone.begin() + 4, kDone.end()));
  EXPECT_FALSE(layer.TakeBootSignal());  // takes one byte of the frame
  layer.TakeStatusReplies(log);
  EXPECT_TRUE(log.Events().empty());
  Append(kDone);
  layer.TakeStatusReplies(log);
  EXPECT_EQ(log.Events().size(), 1u);
}

TEST_F(MessageLayerTest, FramesGrowingToTheLimitAreDropped) {
  struct Case {
    bool identification;
    std::size_t bodyLength;  // checksum included
    bool accepted;
  };
  // An identification body of 127 bytes (39 entries) fits; 128 reaches the limit. A status
  // body's length is not tested, so 514 fits and 515 reaches its limit.
  const Case cases[] = {
      {true, 127, true}, {true, 128, false}, {false, 514, true}, {false, 515, false}};
  for (const Case& c : cases) {
    MessageLayer fresh;
    Bytes body = {0, c.identification ? kIdentifyReply : kStatusReply, 0, 0, 0, 7, 4, 0};
    if (c.identification) {
      body.push_back(static_cast<std::uint8_t>((c.bodyLength - 10) / 3));
    }
    body.resize(c.bodyLength - 1, 0x01);
    const Bytes frame = Concat({FrameWithBody(body), kReplyB, kDone});
    fresh.Append(frame.data(), static_cast<std::int32_t>(frame.size()));
    SpeakerRecord taken;
    ErrorLog events;
    if (c.identification) {
      ASSERT_EQ(fresh.TakeIdentificationReply(taken), 1) << c.bodyLength;
      EXPECT_EQ(taken.SerialNumber(), c.accepted ? 7u : 222u) << c.bodyLength;
    } else {
      fresh.TakeStatusReplies(events);
      ASSERT_FALSE(events.Events().empty()) << c.bodyLength;
      EXPECT_EQ(events.Events()[0].serial, c.accepted ? 7 : 111) << c.bodyLength;
    }
  }
}

TEST_F(MessageLayerTest, StatusFrameLeftLongByItsParserIsDroppedByTheIdentificationParser) {
  Bytes opened = {kFrameStart, 0, kStatusReply};
  opened.resize(300, 0x01);
  Append(opened);
  layer.TakeStatusReplies(log);
  Append(Concat({{0x01, 0x01, kFrameEnd}, kReplyC}));
  ASSERT_TRUE(TakeRecord());
  EXPECT_EQ(record.SerialNumber(), 333u);
}

TEST_F(MessageLayerTest, MoreThanFourEntriesKeepTheFirstFour) {
  struct Guarded {
    SpeakerRecord record;
    std::uint8_t after[16];
  } guarded;
  std::memset(guarded.after, 0x5A, sizeof guarded.after);
  const Bytes reply = IdentificationReplyFrame(
      0, 444, 8, 3, {{1, 1, 1}, {8, 2, 2}, {0, 3, 3}, {2, 4, 4}, {5, 5, 5}, {6, 6, 6}});
  Append(reply);
  ASSERT_EQ(layer.TakeIdentificationReply(guarded.record), 1);
  EXPECT_EQ(guarded.record.entryCount, 4);
  EXPECT_EQ(guarded.record.type, 8);
  EXPECT_EQ(guarded.record.reserved, 3);
  EXPECT_EQ(guarded.record.entries[3].kind, 2);
  EXPECT_EQ(guarded.record.entries[3].minor, 4);
  EXPECT_FALSE(guarded.record.HasKind(5));
  for (std::uint8_t byte : guarded.after) {
    EXPECT_EQ(byte, 0x5A);
  }
}

TEST_F(MessageLayerTest, UnreportedSlotsNeverLookLikeSoftware) {
  record.entries[0] = {0, 9, 9};  // left over from an earlier speaker
  Append(kReplyC);
  ASSERT_TRUE(TakeRecord());
  EXPECT_EQ(record.entryCount, 0);
  for (std::uint8_t kind : {kKindFpga, kKindBoot, kKindTest, std::uint8_t{3}}) {
    EXPECT_FALSE(record.HasKind(kind)) << int{kind};
  }
}

TEST_F(MessageLayerTest, BytesBeyondTheRingAreDropped) {
  Bytes flood(5000, 0x11);
  Append(flood);
  EXPECT_EQ(layer.PendingBytes(), 4096);
  Append(kDone);
  layer.TakeStatusReplies(log);
  EXPECT_TRUE(log.Events().empty());
  Append(kDone);
  layer.TakeStatusReplies(log);
  EXPECT_EQ(log.Events().size(), 1u);
}

}  // namespace
}  // namespace flashdesk
