#pragma once

#include "platform/Prompts.h"

namespace flashdesk {

// The engine's questions as message boxes over the active window. Window's thread only.
class QtPrompts : public platform::Prompts {
 public:
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
};

}  // namespace flashdesk
