// The millisecond tick. The receive ring is pinned through the message layer's tests, which
// overfill it and wrap it many times.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "platform/Clock.h"
#include "transport/TickMs.h"

namespace flashdesk {
namespace {

std::int32_t Wrapped(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

TEST(TickMs, FollowsTheMonotonicClockAndATwoSecondWindowLastsTwoSecondsAcrossEitherWrap) {
  // One ms before the signed tick flips to its minimum, and two before it passes zero.
  for (const std::int64_t start :
       {std::int64_t{std::numeric_limits<std::int32_t>::max()} - 1, std::int64_t{-2}}) {
    for (std::int64_t step : {0, 1, 2, 3, 1999, 2000, 2500})
      EXPECT_EQ(ElapsedMs(Wrapped(start), Wrapped(start + step)), step) << start << "+" << step;
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
