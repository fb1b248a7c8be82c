#include <gtest/gtest.h>

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
  const Case cases[] = {{100000, 3, {6, 13, 32}},
                        {0x1000, 3, {0, 32, 0}},
                        {0xA000, 3, {2, 64, 0}},
                        {133, 2, {1, 5}},
                        {2097151, 3, {0x7F, 0x7F, 0x7F}},
                        {1234567, 4, {0x00, 0x4B, 0x2D, 0x07}},
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

TEST(Packing, DataChecksumIsTheSumModulo128) {
  const std::uint8_t bytes[] = {0xFF, 0x01, 0x80, 0xA5};
  EXPECT_EQ(DataChecksum(bytes, 3), 0x00);
  EXPECT_EQ(DataChecksum(bytes + 3, 1), 0x25);
  const Bytes many(66, 0xFF);
  EXPECT_EQ(DataChecksum(many.data(), 66), (66 * 0xFF) % 128);
  EXPECT_EQ(DataChecksum(bytes, 0), 0);
}

TEST(ReplyWords, NameEveryCodeWithoutReadingPastTheTable) {
  const std::pair<std::uint8_t, std::string> cases[] = {
      {0, "DONE"},           {1, "READY"},       {2, "TYPE ERROR"},     {3, "SECTOR ERROR"},
      {4, "CHECKSUM ERROR"}, {5, "COUNT ERROR"}, {6, "UNKNOWN CODE 6"}, {255, "UNKNOWN CODE 255"}};
  for (const auto& [code, word] : cases) {
    EXPECT_EQ(ReplyWord(code), word) << int{code};
  }
  EXPECT_EQ(ReplyWord(9), ReplyWord(9));  // the words live as long as the program
}

}  // namespace
}  // namespace flashdesk
