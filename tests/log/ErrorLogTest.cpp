#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/ErrorLog.h"
#include "tests/platform/TraceCapture.h"

namespace flashdesk {
namespace {

using ::testing::ElementsAre;

// Reply codes as the speakers send them.
enum : std::uint8_t { kDone, kReady, kTypeError, kSector, kChecksum, kCount };

struct ReportCase {
  const char* name;
  std::vector<LogEvent> events;
  const char* report;
  bool unfinished;
  std::int32_t errorCount;
};

std::vector<LogEvent> FullBus() {
  std::vector<LogEvent> events;
  for (std::int32_t serial = 5001; serial <= 5018; ++serial) {
    events.push_back({serial, kReady});
  }
  for (std::int32_t serial = 5001; serial <= 5018; ++serial) {
    events.push_back({serial, kDone});
  }
  return events;
}

std::string FullBusReport() {
  std::string text = "18 Speaker(s) Passed:\n";
  for (int serial = 5001; serial <= 5018; ++serial) {
    text += "    - Serial: " + std::to_string(serial) + "\n";
  }
  return text + "\n 0 Speaker(s) Failed:\n";
}

const std::string kFullBusReport = FullBusReport();

const ReportCase kReportCases[] = {
    {"Empty", {}, " 0 Speaker(s) Passed:\n 0 Speaker(s) Failed:\n", false, 0},
    {"OneOfTwoReadySpeakersDone",
     {{1001, kReady}, {1002, kReady}, {1001, kDone}},
     " 1 Speaker(s) Passed:\n"
     "    - Serial: 1001\n"
     "\n"
     " 0 Speaker(s) Failed:\n"
     " 1 Speaker(s) Didn't Respond With Upload Complete\n"
     "    - Serial: 1002\n",
     true,
     0},
    {"ReadyThenChecksumError",
     {{1001, kReady}, {1001, kChecksum}},
     " 0 Speaker(s) Passed:\n"
     " 1 Speaker(s) Failed:\n"
     "    - Serial: 1001\n"
     "\n",
     true,
     1},
    {"ReadyThenTypeError",
     {{1001, kReady}, {1001, kTypeError}},
     " 0 Speaker(s) Passed:\n"
     " 0 Speaker(s) Failed:\n"
     "\n"
     " 0 Speaker(s) Didn't Respond With Upload Complete\n",
     false,
     0},
    {"InterleavedSerialsAreAllConsidered",
     {{1001, kReady}, {1002, kReady}, {1001, kDone}, {1002, kSector}, {1001, kCount}},
     " 1 Speaker(s) Passed:\n"
     "    - Serial: 1001\n"
     "\n"
     " 2 Speaker(s) Failed:\n"
     "    - Serial: 1001\n"
     "    - Serial: 1002\n"
     "\n"
     " 0 Speaker(s) Didn't Respond With Upload Complete\n",
     true,
     2},
    {"DoneTwiceIsListedTwice",
     {{1001, kReady}, {1001, kDone}, {1001, kDone}},
     " 2 Speaker(s) Passed:\n"
     "    - Serial: 1001\n"
     "    - Serial: 1001\n"
     "\n"
     " 0 Speaker(s) Failed:\n"
     " 0 Speaker(s) Didn't Respond With Upload Complete\n",
     false,
     0},
    {"SilentSpeakerAmongTypeErrors",
     {{7, kReady}, {8, kReady}, {9, kReady}, {8, kTypeError}, {9, kDone}},
     " 1 Speaker(s) Passed:\n"
     "    - Serial: 9\n"
     "\n"
     " 0 Speaker(s) Failed:\n"
     "\n"
     " 1 Speaker(s) Didn't Respond With Upload Complete\n"
     "    - Serial: 7\n",
     true,
     0},
    {"OnlyTypeErrorsAreNeverNamed",
     {{268435455, kTypeError}},
     " 0 Speaker(s) Passed:\n 0 Speaker(s) Failed:\n",
     false,
     0},
    {"FullBusOf18Speakers", FullBus(), kFullBusReport.c_str(), false, 0},
};

class ErrorLogReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ErrorLogReport, TextAndQueries) {
  const ReportCase& c = GetParam();
  ErrorLog log;
  for (const LogEvent& event : c.events) {
    log.AddEvent(event.serial, event.code);
  }
  std::string text = "left over from before";

  log.Report(text);

  EXPECT_EQ(text, c.report);
  EXPECT_EQ(log.HasUnfinishedSpeaker(), c.unfinished);
  EXPECT_EQ(log.ErrorCount(), c.errorCount);
  EXPECT_EQ(log.HasError(), c.errorCount > 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ErrorLogReport, ::testing::ValuesIn(kReportCases),
                         [](const ::testing::TestParamInfo<ReportCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ErrorLog, ReportCountsOfTenAndMoreUseBothColumns) {
  ErrorLog log;
  for (std::int32_t serial = 1; serial <= 120; ++serial) {
    log.AddEvent(serial, kSector);
  }
  std::string text;
  log.Report(text);
  EXPECT_EQ(text.rfind(" 0 Speaker(s) Passed:\n120 Speaker(s) Failed:\n", 0), 0u) << text;
  EXPECT_EQ(log.ErrorCount(), 120);
}

TEST(ErrorLog, CopiesAreIndependentAndSelfAssignmentKeepsEvents) {
  ErrorLog original;
  original.AddEvent(1001, kReady);
  original.AddEvent(1001, kChecksum);

  ErrorLog copy(original);
  ErrorLog assigned;
  assigned.AddEvent(9, kDone);
  assigned = original;
  ErrorLog& alias = assigned;
  assigned = alias;
  original.Clear();

  EXPECT_EQ(copy.Events().size(), 2u);
  ASSERT_EQ(assigned.Events().size(), 2u);
  EXPECT_EQ(assigned.Events()[1].code, kChecksum);
  EXPECT_EQ(assigned.ErrorCount(), 1);
  EXPECT_TRUE(original.Events().empty());
  EXPECT_FALSE(original.HasError());
}

TEST(ErrorLog, ConstructionAndDestructionLeaveTraceLines) {
  fakes::TraceCapture trace;
  { ErrorLog log; }
  EXPECT_THAT(trace.Lines(),
              ElementsAre("ErrorLog : Constructor Called\n", "ErrorLog : Destructor Called\n"));
}

}  // namespace
}  // namespace flashdesk
