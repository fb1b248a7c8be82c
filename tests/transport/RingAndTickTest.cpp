// The transport's small pieces: the receive ring and the millisecond tick.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>
#include <numeric>
#include <vector>

#include "platform/Clock.h"
#include "transport/CircularBuffer.h"
#include "transport/TickMs.h"

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

std::int32_t Wrapped(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

TEST(Ring, ShortReadsWritesAcrossTheWrapAndOverfullWritesKeepOrder) {
  auto owned = std::make_unique<CircularBuffer>();
  CircularBuffer& ring = *owned;
  std::uint8_t out[100];
  EXPECT_EQ(ring.Read(out, 100), -1);  // empty
  EXPECT_EQ(ring.Write(out, -3), -1);
  EXPECT_TRUE(ring.IsEmpty());
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

TEST(TickMs, FollowsTheMonotonicClockAndATwoSecondWindowLastsTwoSecondsAcrossEitherWrap) {
  // One ms before the signed tick flips to its minimum, and two before it passes zero.
  for (const std::int64_t start :
       {std::int64_t{std::numeric_limits<std::int32_t>::max()} - 1, std::int64_t{-2}}) {
    for (std::int64_t step : {0, 1, 2, 3, 1999, 2000, 2500}) {
      EXPECT_EQ(ElapsedMs(Wrapped(start), Wrapped(start + step)), step) << start << "+" << step;
    }
  }
  // The time of day may be stepped at any moment; the steady clock never is.
  const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  const std::int32_t distance = ElapsedMs(Wrapped(before), platform::SystemClock().TickMs());
  EXPECT_GE(distance, 0);
  EXPECT_LT(distance, 5000);
}

}  // namespace
}  // namespace flashdesk
