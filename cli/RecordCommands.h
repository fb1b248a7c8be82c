#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "platform/PortDiscovery.h"
#include "platform/Prompts.h"
#include "records/Results.h"

// What the commands leave for scripts and for later: the JSON documents of --json, the
// upload history, and the info and history commands, which touch no port.
namespace flashdesk::cli {

// With --json: where the one document goes, and the exit checks' messages and questions
// with their answers.
struct JsonOutput {
  std::ostream& output;
  std::vector<records::ExitPrompt> prompts;
};

// Passes everything on to prompts and notes it in asked.
class RecordingPrompts : public platform::Prompts {
 public:
  RecordingPrompts(platform::Prompts& prompts, std::vector<records::ExitPrompt>& asked)
      : prompts(prompts), asked(asked) {}
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

 private:
  platform::Prompts& prompts;
  std::vector<records::ExitPrompt>& asked;
};

// The environment of a --json run: the plain text goes to the errors, json gets the document.
CliEnvironment JsonEnvironment(const CliEnvironment& environment, JsonOutput& json);

// Each prints its document when the run has --json and does nothing otherwise.
// "3 (/dev/ttyUSB3)", a pinned device's path alone, or "none".
std::string PortText(const records::PortFacts& port);
void PrintScanDocument(const SpeakerNetwork& engine, CliEnvironment& environment);
void PrintExitDocument(const SpeakerNetwork& engine, CliEnvironment& environment, bool allowed);
// A file refused before the scan: nothing was sent, refusal says why.
void PrintRefusedUpload(CliEnvironment& environment, const std::string& path,
                        const std::string& refusal);

// After engine.Upload: appends the history line and prints the document. The speakers are
// the table the upload went to; complete decides the status line.
void RecordUpload(const SpeakerNetwork& engine, CliEnvironment& environment,
                  const std::string& path, bool complete);

// `ports --json`: the document of the devices found, alone on output.
void PrintPortsJson(CliEnvironment& environment,
                    const std::vector<platform::SerialDevice>& devices);

// The info and history commands; the engine is not used.
int RunInfo(SpeakerNetwork& engine, CliEnvironment& environment, const CliOptions& options);
int RunHistory(SpeakerNetwork& engine, CliEnvironment& environment, const CliOptions& options);

}  // namespace flashdesk::cli
