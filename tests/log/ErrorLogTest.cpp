#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/ErrorLog.h"
#include "log/ReplyCode.h"

namespace flashdesk {
namespace {

std::string Serials(std::int32_t first, std::int32_t last) {
  std::string lines;
  for (std::int32_t serial = first; serial <= last; ++serial) {
    lines += "    - Serial: " + std::to_string(serial) + "\n";
  }
  return lines;
}

struct ReportCase {
  const char* name;
  std::vector<LogEvent> events;
  std::string report;
  bool unfinished;
  std::int32_t errorCount;
};

TEST(ErrorLog, ReportAndQueries) {
  std::vector<LogEvent> fullBus;
  for (const std::uint8_t code : {kReplyReady, kReplyDone}) {
    for (std::int32_t serial = 5001; serial <= 5018; ++serial) {
      fullBus.push_back({serial, code});
    }
  }
  std::vector<LogEvent> manyFailed;
  for (std::int32_t serial = 1; serial <= 120; ++serial) {
    manyFailed.push_back({serial, kReplySectorError});
  }
  const std::string failedOnly = " 0 Speaker(s) Passed:\n 0 Speaker(s) Failed:\n";
  const ReportCase cases[] = {
      {"empty", {}, failedOnly, false, 0},
      {"one of two ready speakers done",
       {{1001, kReplyReady}, {1002, kReplyReady}, {1001, kReplyDone}},
       " 1 Speaker(s) Passed:\n" + Serials(1001, 1001) +
           "\n 0 Speaker(s) Failed:\n 1 Speaker(s) Didn't Respond With Upload Complete\n" +
           Serials(1002, 1002),
       true,
       0},
      {"interleaved serials are all considered",
       {{1001, kReplyReady},
        {1002, kReplyReady},
        {1001, kReplyDone},
        {1002, kReplySectorError},
        {1001, kReplyCountError}},
       " 1 Speaker(s) Passed:\n" + Serials(1001, 1001) + "\n 2 Speaker(s) Failed:\n" +
           Serials(1001, 1002) + "\n 0 Speaker(s) Didn't Respond With Upload Complete\n",
       true,
       2},
      {"done twice is listed twice",
       {{1001, kReplyReady}, {1001, kReplyDone}, {1001, kReplyDone}},
       " 2 Speaker(s) Passed:\n" + Serials(1001, 1001) + Serials(1001, 1001) +
           "\n 0 Speaker(s) Failed:\n 0 Speaker(s) Didn't Respond With Upload Complete\n",
       false,
       0},
      {"silent speaker among type errors",
       {{7, kReplyReady},
        {8, kReplyReady},
        {9, kReplyReady},
        {8, kReplyTypeError},
        {9, kReplyDone}},
       " 1 Speaker(s) Passed:\n" + Serials(9, 9) +
           "\n 0 Speaker(s) Failed:\n\n 1 Speaker(s) Didn't Respond With Upload Complete\n" +
           Serials(7, 7),
       true,
       0},
      {"only type errors are never named", {{268435455, kReplyTypeError}}, failedOnly, false, 0},
      {"full bus of 18 speakers", fullBus,
       "18 Speaker(s) Passed:\n" + Serials(5001, 5018) + "\n 0 Speaker(s) Failed:\n", false, 0},
      {"counts of three digits", manyFailed,
       " 0 Speaker(s) Passed:\n120 Speaker(s) Failed:\n" + Serials(1, 120) +
           "\n 0 Speaker(s) Didn't Respond With Upload Complete\n",
       true, 120},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
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
}

}  // namespace
}  // namespace flashdesk
