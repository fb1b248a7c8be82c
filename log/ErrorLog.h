#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashdesk {

struct LogEvent {
  std::int32_t serial = 0;
  std::uint8_t code = 0;
};

// The status events of one upload, in order of arrival, and the pass/fail report.
class ErrorLog {
 public:
  ErrorLog();
  ErrorLog(const ErrorLog& other);
  ErrorLog& operator=(const ErrorLog& other);
  ~ErrorLog();

  void Clear() { events.clear(); }
  void AddEvent(std::int32_t serial, std::uint8_t code) { events.push_back({serial, code}); }
  // Events with a transfer error (codes 3, 4, 5).
  std::int32_t ErrorCount() const;
  bool HasError() const;
  // Some speaker reported neither DONE nor TYPE ERROR.
  bool HasUnfinishedSpeaker() const;
  void Report(std::string& text) const;

  const std::vector<LogEvent>& Events() const { return events; }

 private:
  std::vector<LogEvent> events;
};

}  // namespace flashdesk
