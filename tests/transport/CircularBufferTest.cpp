#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "transport/CircularBuffer.h"

namespace flashdesk {
namespace {

std::vector<std::uint8_t> Counting(std::int32_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n < 0 ? 0 : n));
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

std::vector<std::uint8_t> ReadAll(CircularBuffer& ring, std::int32_t n) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
  const std::int32_t got = ring.Read(out.data(), n);
  out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return out;
}

// The ring is large; keep it off the test's stack.
class RingTest : public ::testing::Test {
 protected:
  std::unique_ptr<CircularBuffer> owned = std::make_unique<CircularBuffer>();
  CircularBuffer& ring = *owned;
};

TEST_F(RingTest, PartialReadLeavesTheRestInOrder) {
  const auto bytes = Counting(10);
  EXPECT_EQ(ring.Write(bytes.data(), 10), 10);
  EXPECT_EQ(ring.Count(), 10);

  EXPECT_EQ(ReadAll(ring, 4), Counting(4));
  EXPECT_EQ(ring.Count(), 6);
  EXPECT_EQ(ReadAll(ring, 100), Counting(6, 4));
}

struct FillCase {
  const char* name;
  std::int32_t written;
  std::int32_t expectedResult;
  std::int32_t expectedCount;
};

class RingFillTest : public RingTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(RingFillTest, WriteIntoEmptyRing) {
  const FillCase& c = GetParam();
  const auto bytes = Counting(c.written);

  EXPECT_EQ(ring.Write(bytes.data(), c.written), c.expectedResult);

  EXPECT_EQ(ring.Count(), c.expectedCount);
  EXPECT_EQ(ring.IsFull(), c.expectedCount == CircularBuffer::kCapacity);
  EXPECT_EQ(ring.IsEmpty(), c.expectedCount == 0);
  // The bytes kept are the first ones, in order.
  EXPECT_EQ(ReadAll(ring, c.expectedCount), Counting(c.expectedCount));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RingFillTest,
                         ::testing::Values(FillCase{"nothing", 0, 0, 0}, FillCase{"one", 1, 1, 1},
                                           FillCase{"oneShortOfFull", 4095, 4095, 4095},
                                           FillCase{"exactlyFull", 4096, -1, 4096},
                                           FillCase{"overfull", 5000, -1, 4096},
                                           FillCase{"negative", -3, -1, 0}),
                         [](const ::testing::TestParamInfo<FillCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(RingTest, WriteIntoFullRingChangesNothing) {
  const auto bytes = Counting(4096);
  ring.Write(bytes.data(), 4096);
  const std::uint8_t extra[] = {0xAA, 0xBB};

  EXPECT_EQ(ring.Write(extra, 2), -1);

  EXPECT_EQ(ring.Count(), 4096);
  EXPECT_EQ(ReadAll(ring, 4096), bytes);
}

TEST_F(RingTest, WrapAroundKeepsOrder) {
  const auto first = Counting(3000);
  const auto second = Counting(3000, 77);
  ASSERT_EQ(ring.Write(first.data(), 3000), 3000);
  ASSERT_EQ(ReadAll(ring, 3000), first);

  EXPECT_EQ(ring.Write(second.data(), 3000), 3000);

  EXPECT_EQ(ring.Count(), 3000);
  EXPECT_EQ(ReadAll(ring, 3000), second);
  EXPECT_TRUE(ring.IsEmpty());
}

TEST_F(RingTest, OverfullWriteAfterWrapDropsTheTail) {
  const auto filler = Counting(3000);
  ring.Write(filler.data(), 3000);
  ReadAll(ring, 2000);  // 1000 left, head and tail both past the middle
  const auto more = Counting(4000, 9);

  EXPECT_EQ(ring.Write(more.data(), 4000), -1);

  EXPECT_EQ(ring.Count(), 4096);
  const auto all = ReadAll(ring, 4096);
  EXPECT_EQ(std::vector<std::uint8_t>(all.begin(), all.begin() + 1000), Counting(1000, 2000 % 256));
  EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + 1000, all.end()), Counting(3096, 9));
}

TEST_F(RingTest, ReadsFromShortAndEmptyRings) {
  std::uint8_t out[10] = {};
  EXPECT_EQ(ring.Read(out, 10), -1);
  const std::uint8_t three[] = {7, 8, 9};
  ring.Write(three, 3);

  EXPECT_EQ(ring.Read(out, 10), 3);
  EXPECT_EQ(out[2], 9);
  EXPECT_EQ(ring.Read(out, 10), -1);
}

TEST_F(RingTest, ResetEmptiesAFullRing) {
  const auto bytes = Counting(4096);
  ring.Write(bytes.data(), 4096);

  ring.Reset();

  EXPECT_TRUE(ring.IsEmpty());
  EXPECT_EQ(ring.Count(), 0);
  const std::uint8_t one[] = {42};
  EXPECT_EQ(ring.Write(one, 1), 1);
  EXPECT_EQ(ReadAll(ring, 5), std::vector<std::uint8_t>{42});
}

}  // namespace
}  // namespace flashdesk
