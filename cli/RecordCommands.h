#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "application/Results.h"
#include "cli/CommandLine.h"
#include "platform/PortDiscovery.h"
#include "records/Results.h"

// What the commands leave for scripts and for later: the JSON documents of --json, the
// upload history, and the info and history commands, which touch no port.
namespace flashdesk::cli {

// With --json: where the one document goes.
struct JsonOutput {
  std::ostream& output;
};

// The environment of a --json run: the plain text goes to the errors, json gets the document.
CliEnvironment JsonEnvironment(const CliEnvironment& environment, JsonOutput& json);

// "3 (/dev/ttyUSB3)", a pinned device's path alone, or "none".
std::string PortText(const records::PortFacts& port);
// Each prints its document when the run has --json and does nothing otherwise.
void PrintScanDocument(const application::ScanResult& result, CliEnvironment& environment);
void PrintUploadDocument(const records::UploadResult& facts, CliEnvironment& environment);
void PrintExitDocument(const application::ExitResult& result, CliEnvironment& environment);
void PrintFlashDocument(const records::FlashResult& result, CliEnvironment& environment);
// The facts of an upload refused before anything was sent: the file and why.
records::UploadResult RefusedUpload(const std::string& path, const std::string& refusal);

// `ports --json`: the document of the devices found, alone on output.
void PrintPortsJson(CliEnvironment& environment,
                    const std::vector<platform::SerialDevice>& devices);

// The info and history commands; the session is not used.
int RunInfo(application::Session& session, CliEnvironment& environment, const CliOptions& options);
int RunHistory(application::Session& session, CliEnvironment& environment,
               const CliOptions& options);

}  // namespace flashdesk::cli
