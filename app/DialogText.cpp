#include "app/DialogText.h"

namespace flashdesk {
namespace {

const std::vector<HelpLine> kPageAbout = {
    {116, true, "About this program:"},
    {156, false, "* UPLOAD scans your setup during startup and identifies"},
    {176, false, "  speakers in your network."},
    {216, false, "* All speakers will be muted and set to \"Boot mode\" while"},
    {236, false, "  UPLOAD is acting."},
    {276, false, "* The speakers will be returned to normal \"Application "},
    {296, false, "  mode\" when you exit UPLOAD"},
    {356, false, "                                                    press HELP for next page"},
};

const std::vector<HelpLine> kPageSteps = {
    {116, true, "Uploading Application Software step by step"},
    {156, false, "* Select the target speaker that you want to upload software to "},
    {176, false, "  (hit \"More Speakers\" if your model does not show)"},
    {216, false, "* Select the Application software you want to upload"},
    {256, false, "* Hit the \"UPLOAD\" key, the status bar will now read: "},
    {276, false, "  Uploading Firmware"},
    {316, false, "* When the Status bar reads: \"Completed\", select the next "},
    {336, false, "  speaker model to be updated or exit the application"},
};

const std::vector<HelpLine> kEmptyPage;

bool IsTrailingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

const std::vector<HelpLine>& HelpPageLines(std::int32_t page) {
  if (page == 0)
    return kPageAbout;
  if (page == 1)
    return kPageSteps;
  return kEmptyPage;
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

}  // namespace flashdesk
