#pragma once

#include "platform/Prompts.h"

namespace flashdesk::win32 {

// Messages and questions as message boxes over the active window. Window's thread only.
class Win32Prompts : public platform::Prompts {
 public:
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
};

}  // namespace flashdesk::win32
