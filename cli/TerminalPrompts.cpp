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

enum class Answer { kLine, kEnd, kTooLong };

// One line of at most kLongestAnswer characters. The rest of a longer line stays unread, so
// an endless one (a device as input) neither fills the memory nor keeps the program busy.
Answer ReadAnswer(std::istream& input, std::string& answer) {
  for (int c = input.get(); c != std::char_traits<char>::eof(); c = input.get()) {
    if (c == '\n')
      return Answer::kLine;
    if (answer.size() == TerminalPrompts::kLongestAnswer)
      return Answer::kTooLong;
    answer += static_cast<char>(c);
  }
  return answer.empty() ? Answer::kEnd : Answer::kLine;
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
  switch (ReadAnswer(input, answer)) {
    case Answer::kLine:
      return MeansYes(answer);
    case Answer::kEnd:
      output << "no (no answer)\n" << std::flush;
      return false;
    case Answer::kTooLong:
      break;
  }
  output << "no (answer too long)\n" << std::flush;
  return false;
}

}  // namespace flashdesk::cli
