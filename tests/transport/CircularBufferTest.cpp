#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

#include "transport/CircularBuffer.h"

namespace flashdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Counting(std::int32_t n, std::uint8_t first = 0) {
  Bytes bytes(static_cast<std::size_t>(n < 0 ? 0 : n));
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

Bytes ReadUpTo(CircularBuffer& ring, std::int32_t n) {
  Bytes out(static_cast<std::size_t>(n));
  const std::int32_t got = ring.Read(out.data(), n);
  out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return out;
}

TEST(Ring, WritesIntoAnEmptyRingKeepTheFirstBytesInOrder) {
  struct Case {
    std::int32_t written;
    std::int32_t result;
    std::int32_t kept;
  };
  const Case cases[] = {{0, 0, 0},        {1, 1, 1},        {4095, 4095, 4095},
                        {4096, -1, 4096}, {5000, -1, 4096}, {-3, -1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    auto ring = std::make_unique<CircularBuffer>();  // large: off the stack
    const Bytes bytes = Counting(c.written);
    EXPECT_EQ(ring->Write(bytes.data(), c.written), c.result);
    EXPECT_EQ(ring->Count(), c.kept);
    EXPECT_EQ(ring->IsFull(), c.kept == CircularBuffer::kCapacity);
    EXPECT_EQ(ring->IsEmpty(), c.kept == 0);
    EXPECT_EQ(ReadUpTo(*ring, c.kept), Counting(c.kept));
  }
}

TEST(Ring, ShortReadsWritesAcrossTheWrapAndOverfullWritesKeepOrder) {
  auto owned = std::make_unique<CircularBuffer>();
  CircularBuffer& ring = *owned;
  std::uint8_t out[100];
  EXPECT_EQ(ring.Read(out, 100), -1);  // empty
  const Bytes first = Counting(3000);
  ring.Write(first.data(), 3000);
  EXPECT_EQ(ReadUpTo(ring, 1999), Counting(1999));
  EXPECT_EQ(ring.Read(out, 1), 1);
  EXPECT_EQ(out[0], first[1999]);

  // 1000 left, both ends past the middle: the next write wraps, the one after overfills.
  const Bytes second = Counting(2000, 77);
  const Bytes third = Counting(2000, 9);
  EXPECT_EQ(ring.Write(second.data(), 2000), 2000);
  EXPECT_EQ(ring.Write(third.data(), 2000), -1);  // only 1096 fit
  EXPECT_EQ(ring.Write(third.data(), 1), -1);     // full: nothing changes
  EXPECT_TRUE(ring.IsFull());
  Bytes kept(first.begin() + 2000, first.end());
  kept.insert(kept.end(), second.begin(), second.end());
  kept.insert(kept.end(), third.begin(), third.begin() + 1096);
  EXPECT_EQ(ReadUpTo(ring, 5000), kept);  // a short ring gives what it has
  EXPECT_EQ(ring.Read(out, 100), -1);

  ring.Write(kept.data(), 4096);
  ring.Reset();
  EXPECT_TRUE(ring.IsEmpty());
  EXPECT_EQ(ring.Write(second.data(), 1), 1);
  EXPECT_EQ(ReadUpTo(ring, 5), Bytes{77});
}

}  // namespace
}  // namespace flashdesk
