#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Prompts.h"
#include "records/Results.h"

namespace flashdesk::application {

// Passes every message and question on to prompts and keeps each with its answer while
// recording; the exit checks' prompts reach their result this way.
class RecordingPrompts : public platform::Prompts {
 public:
  explicit RecordingPrompts(platform::Prompts& prompts) : prompts(prompts) {}
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

  // Forgets what was asked and keeps what follows.
  void StartRecording();
  // What was asked since StartRecording, and stops keeping.
  std::vector<records::ExitPrompt> StopRecording();

 private:
  platform::Prompts& prompts;
  std::mutex lock;
  bool recording = false;
  std::vector<records::ExitPrompt> asked;
};

}  // namespace flashdesk::application
