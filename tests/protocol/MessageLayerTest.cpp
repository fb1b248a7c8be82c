#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
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
  Bytes frame(bodyWithoutChecksum.size() + 3, 0);
  frame[0] = kFrameStart;
  std::copy(bodyWithoutChecksum.begin(), bodyWithoutChecksum.end(), frame.begin() + 1);
  frame[bodyWithoutChecksum.size() + 1] = kFrameEnd;
  frame.resize(static_cast<std::size_t>(Seal(frame.data())));
  return frame;
}

class MessageLayerTest : public ::testing::Test {
 protected:
  void Append(const Bytes& bytes) {
    layer.Append(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  }

  MessageLayer layer;
  SpeakerRecord record;
  ErrorLog log;
};

const Bytes kReplyA = IdentificationReplyFrame(0, 111, 4, 0, {{1, 1, 5}, {4, 2, 10}, {0, 3, 0}});
const Bytes kReplyB = IdentificationReplyFrame(0, 222, 5, 9, {{1, 1, 6}});
const Bytes kReplyC = IdentificationReplyFrame(0, 333, 3, 0, {});
const Bytes kDone = StatusReplyFrame(0, 111, kReplyDone);

TEST_F(MessageLayerTest, ReplySplitOverTwoAppendsIsAssembledWholeByEitherParser) {
  Append(Bytes(kDone.begin(), kDone.begin() + 4));
  layer.TakeStatusReplies(log);
  EXPECT_EQ(layer.TakeIdentificationReply(record), 0);  // the other parser continues the frame
  EXPECT_TRUE(log.Events().empty());
  Append(Bytes(kDone.begin() + 4, kDone.end()));
  layer.TakeStatusReplies(log);
  ASSERT_EQ(log.Events().size(), 1u);
  EXPECT_EQ(log.Events()[0].serial, 111);
}

TEST_F(MessageLayerTest, BootSignalLooksOnlyAtTheTwoOldestBytes) {
  const std::pair<Bytes, bool> steps[] = {
      // appended, taken
      {{0x00, 0xFE, 0x00}, false},       {{}, true}, {{}, false}, {{0xFE}, false}, {{0x00}, true},
      {{0xFE, 0x01, 0xFE, 0x00}, false}, {{}, true}, {{}, false}};
  for (const auto& [appended, taken] : steps) {
    Append(appended);
    EXPECT_EQ(layer.TakeBootSignal(), taken);
  }
  // A test made while a frame is being assembled takes one of its bytes and breaks it.
  Append(Bytes(kDone.begin(), kDone.begin() + 4));
  layer.TakeStatusReplies(log);
  Append(Bytes(kDone.begin() + 4, kDone.end()));
  EXPECT_FALSE(layer.TakeBootSignal());
  layer.TakeStatusReplies(log);
  EXPECT_TRUE(log.Events().empty());
  Append(kDone);
  layer.TakeStatusReplies(log);
  EXPECT_EQ(log.Events().size(), 1u);
}

// A frame as long as bodyLength (checksum included) holding serial 7.
Bytes LongFrame(bool identification, std::size_t bodyLength) {
  Bytes body = {0, identification ? kIdentifyReply : kStatusReply, 0, 0, 0, 7, 4, 0};
  if (identification) {
    body.push_back(static_cast<std::uint8_t>((bodyLength - 10) / 3));
  }
  body.resize(bodyLength - 1, 0x01);
  return FrameWithBody(body);
}

struct StreamCase {
  const char* name;
  Bytes stream;
  bool identification;  // which parser takes the stream
  std::vector<std::uint32_t> serials;
};

TEST(MessageLayerStreams, OnlySoundRepliesOfTheParsersKindComeOut) {
  Bytes badChecksum = kDone;
  badChecksum[badChecksum.size() - 2] ^= 0x01;
  const Bytes truncated(kReplyA.begin(), kReplyA.end() - 4);  // a new F0 restarts assembly
  const Bytes stray = {0x12, kFrameEnd, 0x7F, 0x00};
  const Bytes empty = {kFrameStart, kFrameEnd};
  const Bytes shortStatus = FrameWithBody({0, kStatusReply, 1, 2});
  const StreamCase cases[] = {
      {"three replies in one burst, taken one by one",
       Concat({kReplyA, kReplyB, kReplyC}),
       true,
       {111, 222, 333}},
      // Entry count 3 announces a body of 19 bytes; the first has 18, the second more.
      {"body length and entry count disagree",
       Concat({FrameWithBody({0, 0x67, 0, 0, 1, 2, 4, 0, 3, 1, 1, 5, 4, 2, 10, 0, 3}),
               FrameWithBody({0, 0x67, 0, 0, 1, 2, 4, 0, 1, 1, 1, 5, 4}), kReplyB}),
       true,
       {222}},
      {"failing frames are skipped; any code is an event",
       Concat(
           {badChecksum, empty, shortStatus, truncated, kDone, stray, StatusReplyFrame(0, 444, 9)}),
       false,
       {111, 444}},
      {"status reply to the identification parser", kDone, true, {}},
      {"bytes beyond the ring are dropped", Concat({Bytes(5000, 0x11), kDone}), false, {}},
      {"identification reply to the status parser", kReplyA, false, {}},
      // An identification body of 127 bytes (39 entries) fits; 130 (40 entries) is past the
      // limit of 128. A status body's length is not tested, so 514 fits and 515 reaches its limit.
      {"identification body 127", Concat({LongFrame(true, 127), kReplyB, kDone}), true, {7, 222}},
      {"identification body 130", Concat({LongFrame(true, 130), kReplyB, kDone}), true, {222}},
      {"status body 514", Concat({LongFrame(false, 514), kReplyB, kDone}), false, {7, 111}},
      {"status body 515", Concat({LongFrame(false, 515), kReplyB, kDone}), false, {111}},
  };
  for (const StreamCase& c : cases) {
    MessageLayer layer;
    layer.Append(c.stream.data(), static_cast<std::int32_t>(c.stream.size()));
    std::vector<std::uint32_t> serials;
    SpeakerRecord record;
    ErrorLog log;
    if (c.identification) {
      while (layer.TakeIdentificationReply(record) == 1 && serials.size() < 10) {
        serials.push_back(record.SerialNumber());
      }
    } else {
      layer.TakeStatusReplies(log);
      for (const LogEvent& event : log.Events()) {
        serials.push_back(static_cast<std::uint32_t>(event.serial));
      }
    }
    EXPECT_EQ(serials, c.serials) << c.name;
  }
}

TEST_F(MessageLayerTest, RecordKeepsTheFirstFourEntriesAndNoSlotLeftFromBefore) {
  struct Guarded {
    SpeakerRecord record;
    std::uint8_t after[16];
  } guarded;
  std::memset(guarded.after, 0x5A, sizeof guarded.after);
  Append(IdentificationReplyFrame(
      0, 444, 8, 3, {{1, 1, 1}, {8, 2, 2}, {0, 3, 3}, {2, 4, 4}, {5, 5, 5}, {6, 6, 6}}));
  ASSERT_EQ(layer.TakeIdentificationReply(guarded.record), 1);
  EXPECT_EQ(guarded.record.entryCount, 4);
  EXPECT_EQ(guarded.record.entries[3].kind * 10 + guarded.record.entries[3].minor, 24);
  EXPECT_FALSE(guarded.record.HasKind(5));
  EXPECT_EQ(Bytes(guarded.after, guarded.after + 16), Bytes(16, 0x5A));
  Append(kReplyC);  // no entries: the slots filled above must not count
  ASSERT_EQ(layer.TakeIdentificationReply(guarded.record), 1);
  EXPECT_EQ(guarded.record.entryCount, 0);
  for (std::uint8_t kind : {kKindFpga, kKindBoot, kKindTest, std::uint8_t{8}}) {
    EXPECT_FALSE(guarded.record.HasKind(kind)) << int{kind};
  }
}

}  // namespace
}  // namespace flashdesk
