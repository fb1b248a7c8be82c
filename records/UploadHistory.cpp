#include "records/UploadHistory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>

#include "platform/Trace.h"
#include "records/ImageInfo.h"
#include "records/StateFiles.h"

namespace flashdesk::records {
namespace {

namespace fs = std::filesystem;

bool Names(const UploadRecord& record, std::uint32_t serial) {
  return std::any_of(record.speakers.begin(), record.speakers.end(),
                     [serial](const SpeakerOutcome& o) { return o.speaker.serial == serial; });
}

// Hands each line of in to take, its line end removed, and names to skip the lines it does not
// hold: one longer than kMaxLineBytes, and all from where kMaxReadBytes runs out.
void CutLines(std::istream& in, const std::function<void(std::int64_t, std::string&)>& take,
              const std::function<void(std::int64_t, const std::string&)>& skip) {
  std::vector<char> buffer(1 << 16);
  std::string line;
  bool overlong = false;
  std::int64_t number = 1;
  const auto endLine = [&] {
    if (overlong)
      skip(number, "longer than " + std::to_string(UploadHistory::kMaxLineBytes) + " bytes");
    else
      take(number, line);
    line.clear();
    overlong = false;
    ++number;
  };
  std::int64_t total = 0;
  while (total < UploadHistory::kMaxReadBytes) {
    in.read(buffer.data(), static_cast<std::streamsize>(std::min<std::int64_t>(
                               buffer.size(), UploadHistory::kMaxReadBytes - total)));
    const char* at = buffer.data();
    const char* const end = at + in.gcount();
    if (at == end)
      break;
    total += end - at;
    while (at < end) {
      const char* const lineEnd = std::find(at, end, '\n');
      overlong = overlong || line.size() + static_cast<std::size_t>(lineEnd - at) >
                                 UploadHistory::kMaxLineBytes;
      if (overlong)
        line.clear();
      else
        line.append(at, lineEnd);
      if (lineEnd == end)
        break;
      endLine();
      at = lineEnd + 1;
    }
  }
  if (total >= UploadHistory::kMaxReadBytes && in.peek() != std::char_traits<char>::eof()) {
    skip(number, "beyond the first " + std::to_string(UploadHistory::kMaxReadBytes) +
                     " bytes: this line and the rest are not read");
  } else if (overlong || !line.empty()) {
    endLine();
  }
}

}  // namespace

std::string UploadHistory::DefaultPath() {
  return SystemHistoryPath();
}

UploadHistory::UploadHistory(std::string path) : path(std::move(path)) {}

bool UploadHistory::Append(const UploadRecord& record, std::string* problem) const {
  std::string why = MissingStateFolder();
  if (!path.empty()) {
    std::error_code error;
    fs::create_directories(fs::u8path(path).parent_path(), error);
    if (error)
      why = error.message();
    else if (AppendWholeLine(path, HistoryLine(record), why))
      return true;
    why = path + ": " + why;
  }
  platform::Trace("Upload history not written: " + why);
  if (problem)
    *problem = why;
  return false;
}

UploadHistory::Reading UploadHistory::Read(std::optional<std::uint32_t> serial) const {
  Reading reading;
  std::error_code error;
  const fs::file_status status = fs::status(fs::u8path(path), error);
  if (path.empty() || status.type() == fs::file_type::not_found)
    return reading;
  // A FIFO would block and a device may never end: only a regular file is read.
  if (!error && !fs::is_regular_file(status)) {
    reading.problem = path + " is not a regular file";
    return reading;
  }
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (error || !in) {
    reading.problem = "cannot read " + path;
    return reading;
  }
  const auto skip = [&](std::int64_t number, const std::string& problem) {
    platform::Trace("Upload history " + path + " line " + std::to_string(number) +
                    " skipped: " + problem);
    reading.skipped.push_back({number, problem});
  };
  CutLines(
      in,
      [&](std::int64_t number, std::string& line) {
        if (!line.empty() && line.back() == '\r')
          line.pop_back();
        // The line end written after a line that broke off leaves an empty line.
        if (line.empty())
          return;
        std::string problem;
        std::optional<UploadRecord> record = ParseHistoryLine(line, problem);
        if (!record)
          skip(number, problem);
        else if (!serial || Names(*record, *serial))
          reading.records.push_back(std::move(*record));
      },
      skip);
  return reading;
}

UploadRecord RecordOfUpload(const PortFacts& port, const std::string& imagePath,
                            const std::string& sha256, std::vector<SpeakerOutcome> speakers) {
  return {UtcTimestamp(std::chrono::system_clock::now()), port, FileNameOf(imagePath), sha256,
          std::move(speakers)};
}

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const std::int64_t seconds = floor<std::chrono::seconds>(time.time_since_epoch()).count();
  const std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  const std::int64_t secondOfDay = seconds - days * 86400;
  // Days since 1970-01-01 to a civil date, counted in 400-year eras from 0000-03-01.
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t dayOfEra = shifted - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
  const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  // Room for six numbers of any size: without it GCC's unoptimised builds warn of truncation.
  char text[6 * 20 + 8];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(secondOfDay / 3600),
                static_cast<long long>(secondOfDay / 60 % 60),
                static_cast<long long>(secondOfDay % 60));
  return text;
}

}  // namespace flashdesk::records
