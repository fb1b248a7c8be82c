#include "window/DialogText.h"

#include <array>

#include "resources/Strings.h"

namespace flashdesk::window {
namespace {

using LineTops = std::array<int, strings::kHelpLines>;
constexpr LineTops kAboutTops = {116, 156, 176, 216, 236, 276, 296, 356};
constexpr LineTops kStepsTops = {116, 156, 176, 216, 256, 276, 316, 336};

bool IsTrailingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

BoxContent NextHelpBox(BoxContent shown) {
  switch (shown) {
    case BoxContent::kHelpPage0:
      return BoxContent::kHelpPage1;
    case BoxContent::kHelpPage1:
      return BoxContent::kNothing;
    default:
      return BoxContent::kHelpPage0;
  }
}

std::vector<HelpLine> HelpPageLines(BoxContent page) {
  if (page != BoxContent::kHelpPage0 && page != BoxContent::kHelpPage1)
    return {};
  const bool about = page == BoxContent::kHelpPage0;
  const LineTops& tops = about ? kAboutTops : kStepsTops;
  const strings::HelpText& texts = about ? strings::kHelpAbout : strings::kHelpSteps;
  std::vector<HelpLine> lines;
  for (int i = 0; i < strings::kHelpLines; ++i)
    lines.push_back({tops[i], i == 0, texts[i]});
  return lines;
}

std::vector<std::string> ReportBoxLines(const std::string& report) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t feed = report.find('\n'); feed != std::string::npos;
       feed = report.find('\n', start)) {
    std::size_t end = feed;
    while (end > start && IsTrailingSpace(report[end - 1]))
      --end;
    lines.emplace_back(report, start, end - start);
    start = feed + 1;
  }
  return lines;
}

}  // namespace flashdesk::window
