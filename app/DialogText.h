#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashdesk {

// One line of a help page: its top in client pixels (all lines start at x = 55) and whether
// it is the page's heading.
struct HelpLine {
  int top;
  bool heading;
  const char* text;
};

constexpr int kHelpPages = 2;

// The lines of help page 0 or 1; empty for any other page.
const std::vector<HelpLine>& HelpPageLines(std::int32_t page);

// The report lines the box shows: one per line feed, the characters after the last line feed
// left out, white space trimmed from the end of each line so indentation stays.
std::vector<std::string> ReportBoxLines(const std::string& report);

}  // namespace flashdesk
