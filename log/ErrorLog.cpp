#include "log/ErrorLog.h"

#include <algorithm>
#include <cstdio>

#include "log/ReplyCode.h"
#include "platform/Trace.h"

namespace flashdesk {
namespace {

bool Contains(const std::vector<std::int32_t>& serials, std::int32_t serial) {
  return std::find(serials.begin(), serials.end(), serial) != serials.end();
}

std::vector<std::int32_t> DistinctSerials(const std::vector<LogEvent>& events) {
  std::vector<std::int32_t> serials;
  for (const LogEvent& event : events) {
    if (!Contains(serials, event.serial)) {
      serials.push_back(event.serial);
    }
  }
  return serials;
}

// Appends printf-style text whose only conversion is one integer.
void AppendFormatted(std::string& text, const char* format, std::int32_t value) {
  char line[128];
  const int length = std::snprintf(line, sizeof line, format, static_cast<int>(value));
  if (length > 0) {
    text.append(line, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof line - 1));
  }
}

void AppendSection(std::string& text, const char* heading, const std::vector<std::int32_t>& list,
                   bool blankLineAfterEntries) {
  AppendFormatted(text, heading, static_cast<std::int32_t>(list.size()));
  for (const std::int32_t serial : list) {
    AppendFormatted(text, "    - Serial: %i\n", serial);
  }
  if (blankLineAfterEntries && !list.empty()) {
    text += "\n";
  }
}

}  // namespace

ErrorLog::ErrorLog() {
  platform::Trace("ErrorLog : Constructor Called\n");
}

ErrorLog::ErrorLog(const ErrorLog& other) : events(other.events) {
  platform::Trace("ErrorLog : Constructor Called\n");
}

ErrorLog& ErrorLog::operator=(const ErrorLog& other) {
  if (this != &other) {
    events = other.events;
  }
  return *this;
}

ErrorLog::~ErrorLog() {
  platform::Trace("ErrorLog : Destructor Called\n");
}

std::int32_t ErrorLog::ErrorCount() const {
  return static_cast<std::int32_t>(std::count_if(
      events.begin(), events.end(), [](const LogEvent& e) { return IsTransferError(e.code); }));
}

bool ErrorLog::HasError() const {
  return ErrorCount() > 0;
}

bool ErrorLog::HasUnfinishedSpeaker() const {
  for (const std::int32_t serial : DistinctSerials(events)) {
    const bool finished = std::any_of(events.begin(), events.end(), [&](const LogEvent& e) {
      return e.serial == serial && (e.code == kReplyDone || e.code == kReplyTypeError);
    });
    if (!finished) {
      return true;
    }
  }
  return false;
}

void ErrorLog::Report(std::string& text) const {
  text.clear();
  std::vector<std::int32_t> ready;
  std::vector<std::int32_t> passed;
  std::vector<std::int32_t> typeErrors;
  std::vector<std::int32_t> failed;
  for (const std::int32_t serial : DistinctSerials(events)) {
    for (const LogEvent& event : events) {
      if (event.serial != serial) {
        continue;
      }
      if (event.code == kReplyReady) {
        ready.push_back(serial);
      } else if (event.code == kReplyDone) {
        passed.push_back(serial);
      } else if (event.code == kReplyTypeError) {
        typeErrors.push_back(serial);
      } else if (IsTransferError(event.code)) {
        failed.push_back(serial);
      }
    }
  }
  AppendSection(text, "%2i Speaker(s) Passed:\n", passed, true);
  AppendSection(text, "%2i Speaker(s) Failed:\n", failed, true);
  if (passed.size() + failed.size() == ready.size()) {
    return;
  }
  if (!typeErrors.empty()) {
    text += "\n";
  }
  ready.erase(std::remove_if(ready.begin(), ready.end(),
                             [&](std::int32_t serial) {
                               return Contains(typeErrors, serial) || Contains(failed, serial) ||
                                      Contains(passed, serial);
                             }),
              ready.end());
  AppendSection(text, "%2i Speaker(s) Didn't Respond With Upload Complete\n", ready, false);
}

}  // namespace flashdesk
