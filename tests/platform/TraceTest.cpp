#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/Trace.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk::platform {
namespace {

TEST(Trace, LinesFromManyThreadsAllArriveWhole) {
  fakes::TraceCapture capture;
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 250; ++i) {
        Trace("writer " + std::to_string(t));
      }
    });
  }
  for (auto& writer : writers) {
    writer.join();
  }
  const auto lines = capture.Lines();
  ASSERT_EQ(lines.size(), 1000u);
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "writer " + std::to_string(t)), 250);
  }
}

}  // namespace
}  // namespace flashdesk::platform
