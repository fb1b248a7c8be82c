#pragma once

#include <cstddef>
#include <istream>
#include <ostream>

#include "platform/Prompts.h"

namespace flashdesk::cli {

// The engine's messages and questions on a terminal. A question is answered from a line of
// input ("y" or "yes", any letter case, means Yes); with assumeYes it is answered Yes without
// reading, and at the end of the input or by a line longer than kLongestAnswer it is answered
// No.
class TerminalPrompts : public platform::Prompts {
 public:
  static constexpr std::size_t kLongestAnswer = 256;

  TerminalPrompts(std::istream& input, std::ostream& output, bool assumeYes)
      : input(input), output(output), assumeYes(assumeYes) {}

  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

 private:
  std::istream& input;
  std::ostream& output;
  bool assumeYes;
};

}  // namespace flashdesk::cli
