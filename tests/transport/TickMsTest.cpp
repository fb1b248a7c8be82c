#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

#include "transport/TickMs.h"

namespace flashdesk {
namespace {

// The window test the engine makes: open while elapsed < length.
bool WindowOpen(std::int32_t start, std::int32_t now, std::int32_t length) {
  return ElapsedMs(start, now) < length;
}

std::int32_t Wrapped(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

TEST(TickWindow, TwoSecondWindowLastsTwoSecondsAcrossEitherWrap) {
  const std::int64_t maxTick = std::numeric_limits<std::int32_t>::max();
  // One ms before the signed tick flips to its minimum, and one ms before it passes zero.
  for (const std::int64_t start : {maxTick - 1, std::int64_t{-2}}) {
    SCOPED_TRACE(start);
    const std::int32_t begin = Wrapped(start);
    for (std::int64_t step : {0, 1, 2, 3, 1000, 1999}) {
      EXPECT_EQ(ElapsedMs(begin, Wrapped(start + step)), step);
      EXPECT_TRUE(WindowOpen(begin, Wrapped(start + step), 2000));
    }
    EXPECT_FALSE(WindowOpen(begin, Wrapped(start + 2000), 2000));
    EXPECT_FALSE(WindowOpen(begin, Wrapped(start + 2500), 2000));
  }
}

TEST(TickWindow, TickFollowsTheTimeOfDayInMilliseconds) {
  const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const std::int32_t tick = TickMs();

  // Wrap-around distance to the time of day taken just before: small and not negative.
  const std::int32_t distance = ElapsedMs(Wrapped(before), tick);
  EXPECT_GE(distance, 0);
  EXPECT_LT(distance, 5000);
}

}  // namespace
}  // namespace flashdesk
