#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/PortDiscovery.h"
#include "records/ImageInfo.h"
#include "records/Results.h"

// The machine-readable documents of the command line and the lines of the upload history.
// Every document is one JSON object with "schema_version" and "command"; fields are only
// ever added, so a script written against one version keeps working.
namespace flashdesk::records {

constexpr int kSchemaVersion = 1;

std::string ScanDocument(const ScanResult& result);
std::string UploadDocument(const UploadResult& result);
std::string ExitDocument(const ExitResult& result);
std::string FlashDocument(const FlashResult& result);
std::string PortsDocument(const std::vector<platform::SerialDevice>& devices);
std::string InfoDocument(const ImageInfo& info);

// A history line that could not be read, by its number (from 1).
struct SkippedLine {
  std::int64_t line = 0;
  std::string problem;
};

std::string HistoryDocument(const std::vector<UploadRecord>& records,
                            const std::vector<SkippedLine>& skipped);

// One history line, without line end.
std::string HistoryLine(const UploadRecord& record);
// The record a history line holds; absent, with problem saying why, when it holds none.
std::optional<UploadRecord> ParseHistoryLine(const std::string& line, std::string& problem);

}  // namespace flashdesk::records
