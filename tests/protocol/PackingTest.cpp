#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/Protocol.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Packing, GroupsAreSevenBitsMostSignificantFirst) {
  struct Case {
    std::uint32_t value;
    int groups;
    Bytes expected;
  };
  const Case cases[] = {
      {100000, 3, {6, 13, 32}},
      {0x1000, 3, {0, 32, 0}},
      {0x4000, 3, {1, 0, 0}},
      {0xA000, 3, {2, 64, 0}},
      {0x16000, 3, {5, 64, 0}},
      {133, 2, {1, 5}},
      {3, 2, {0, 3}},
      {2097151, 3, {0x7F, 0x7F, 0x7F}},
      {1234567, 4, {0x00, 0x4B, 0x2D, 0x07}},
      {0x0FFFFFFF, 4, {0x7F, 0x7F, 0x7F, 0x7F}},
  };
  for (const Case& c : cases) {
    Bytes out(c.groups, 0xEE);
    PackGroups(c.value, c.groups, out.data());
    EXPECT_EQ(out, c.expected) << c.value;
    EXPECT_EQ(UnpackGroups(c.expected.data(), c.groups), c.value) << c.value;
  }
}

TEST(Packing, ValuesTooWideKeepOnlyTheirLowGroups) {
  std::uint8_t out[3];
  PackGroups(2097152 + 5, 3, out);  // 22 bits into three groups
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{0, 0, 5}));
}

TEST(Packing, BlockSizeFollowsHeaderByteZero) {
  const std::pair<std::uint8_t, std::int32_t> cases[] = {
      {0, 4096}, {1, 16384}, {2, 40960}, {3, 90112}, {7, 90112}, {0x7F, 90112}, {0xFF, 90112}};
  for (const auto& [header, size] : cases) {
    EXPECT_EQ(BlockSizeFor(header), size) << int{header};
  }
}

TEST(Packing, DataChecksumIsTheSumModulo128) {
  const std::uint8_t three[] = {0xFF, 0x01, 0x80};
  EXPECT_EQ(DataChecksum(three, 3), 0x00);
  const std::uint8_t one[] = {0xA5};
  EXPECT_EQ(DataChecksum(one, 1), 0x25);
  std::uint8_t many[66];
  std::memset(many, 0xFF, sizeof many);
  EXPECT_EQ(DataChecksum(many, 66), (66 * 0xFF) % 128);
  EXPECT_EQ(DataChecksum(many, 0), 0);
}

TEST(ReplyWords, NameEveryCodeWithoutReadingPastTheTable) {
  const std::pair<std::uint8_t, std::string> cases[] = {
      {0, "DONE"},
      {1, "READY"},
      {2, "TYPE ERROR"},
      {3, "SECTOR ERROR"},
      {4, "CHECKSUM ERROR"},
      {5, "COUNT ERROR"},
      {6, "UNKNOWN CODE 6"},
      {127, "UNKNOWN CODE 127"},
      {255, "UNKNOWN CODE 255"},
  };
  for (const auto& [code, word] : cases) {
    EXPECT_EQ(ReplyWord(code), word) << int{code};
  }
  // The words live as long as the program.
  EXPECT_EQ(ReplyWord(9), ReplyWord(9));
}

}  // namespace
}  // namespace flashdesk
