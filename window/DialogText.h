#pragma once

#include <string>
#include <vector>

namespace flashdesk::window {

// What the box left of the panels shows.
enum class BoxContent { kHelpPage0, kHelpPage1, kReport, kNothing };

// What Help shows next: page 0, then page 1, then no box; page 0 again after that or a report.
BoxContent NextHelpBox(BoxContent shown);

// One line of a help page: its top in client pixels (all lines start at x = 55) and whether
// it is the page's heading.
struct HelpLine {
  int top;
  bool heading;
  const char* text;
};

// The lines of a help page; empty for a box that is not one.
std::vector<HelpLine> HelpPageLines(BoxContent page);

// The report lines the box shows: one per line feed, the characters after the last line feed
// left out, white space trimmed from the end of each line so indentation stays.
std::vector<std::string> ReportBoxLines(const std::string& report);

}  // namespace flashdesk::window
