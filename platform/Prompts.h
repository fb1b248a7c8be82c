#pragma once

#include <string>

namespace flashdesk::platform {

// What the engine asks the user. Called on the thread that runs the exit checks.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // A message with an OK button; returns when it is closed.
  virtual void ShowMessage(const std::string& text) = 0;
  // A question with Yes and No buttons; true only for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
};

}  // namespace flashdesk::platform
