#include "cli/TerminalPrompts.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace flashdesk::cli {

namespace {

bool MeansYes(std::string answer) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  answer.erase(answer.begin(), std::find_if_not(answer.begin(), answer.end(), blank));
  answer.erase(std::find_if_not(answer.rbegin(), answer.rend(), blank).base(), answer.end());
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == "y" || answer == "yes";
}

}  // namespace

void TerminalPrompts::ShowMessage(const std::string& text) {
  output << text << std::flush;
}

bool TerminalPrompts::AskYesNo(const std::string& text) {
  output << text << "[y/N] " << std::flush;
  if (assumeYes) {
    output << "yes\n" << std::flush;
    return true;
  }
  std::string answer;
  if (!std::getline(input, answer)) {
    output << "no (no answer)\n" << std::flush;
    return false;
  }
  return MeansYes(answer);
}

}  // namespace flashdesk::cli
