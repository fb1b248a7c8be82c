#include "application/RecordingPrompts.h"

#include <utility>

namespace flashdesk::application {

void RecordingPrompts::ShowMessage(const std::string& text) {
  prompts.ShowMessage(text);
  std::lock_guard<std::mutex> guard(lock);
  if (recording)
    asked.push_back({text, std::nullopt});
}

bool RecordingPrompts::AskYesNo(const std::string& text) {
  const bool answer = prompts.AskYesNo(text);
  std::lock_guard<std::mutex> guard(lock);
  if (recording)
    asked.push_back({text, answer});
  return answer;
}

void RecordingPrompts::StartRecording() {
  std::lock_guard<std::mutex> guard(lock);
  asked.clear();
  recording = true;
}

std::vector<records::ExitPrompt> RecordingPrompts::StopRecording() {
  std::lock_guard<std::mutex> guard(lock);
  recording = false;
  return std::exchange(asked, {});
}

}  // namespace flashdesk::application
