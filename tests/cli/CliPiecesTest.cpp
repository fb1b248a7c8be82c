#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "cli/SpeakerListing.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalPrompts.h"

namespace flashdesk::cli {
namespace {

TEST(SpeakerListing, ModelCodesGetTheirDisplayNames) {
  const struct {
    std::uint8_t type;
    const char* name;
  } cases[] = {{3, "TARN-S2"}, {4, "TARN-S1"},  {5, "TARN-LOW-1"},  {6, "TARN-LOW-2"},
               {8, "TARN-S3"}, {10, "TARN-S4"}, {12, "TARN-LOW-3"}, {13, "TARN-LOW-4"},
               {7, "type 7"},  {0, "type 0"},   {255, "type 255"}};
  for (const auto& example : cases) {
    EXPECT_EQ(ModelName(example.type), example.name) << int(example.type);
  }
}

TEST(TerminalPrompts, AnswersComeFromTheInputLineTheFlagOrTheEndOfInput) {
  const std::string longest(TerminalPrompts::kLongestAnswer - 3, ' ');
  const std::string endless(8 << 20, 'y');
  const struct {
    std::string input;
    bool assumeYes;
    bool answer;
    std::size_t consumedAtMost;
  } cases[] = {
      {"y\n", false, true, 2},
      {"YES\n", false, true, 4},
      {"  yes \nno\n", false, true, 7},
      {longest + "yes\n", false, true, longest.size() + 4},
      {"yes", false, true, 3},
      {"n\n", false, false, 2},
      {"\n", false, false, 1},
      {"yess\n", false, false, 5},
      {"", false, false, 0},
      {"", true, true, 0},
      {"no\n", true, true, 0},
      // A line without end (a device given as input) is refused, not read to its end.
      {endless, false, false, TerminalPrompts::kLongestAnswer + 1},
  };
  for (const auto& example : cases) {
    std::istringstream input(example.input);
    std::ostringstream output;
    TerminalPrompts prompts(input, output, example.assumeYes);
    const std::string label =
        example.input.substr(0, 12) + " yes=" + (example.assumeYes ? "1" : "0");
    EXPECT_EQ(prompts.AskYesNo("Do you want to exit?\n"), example.answer) << label;
    EXPECT_EQ(output.str().rfind("Do you want to exit?\n", 0), 0u) << output.str();
    input.clear();
    EXPECT_LE(static_cast<std::size_t>(input.tellg()), example.consumedAtMost) << label;
  }
}

TEST(TerminalProgress, TerminalRedrawsOneLineAndAPipeGetsAPlainLinePerNewValue) {
  std::ostringstream terminal;
  std::ostringstream pipe;
  TerminalProgress bar(terminal, true);
  TerminalProgress lines(pipe, false);
  for (const int position : {0, 1, 1, 50, 98, 150}) {
    bar.ReportProgress(position);
    lines.ReportProgress(position);
  }
  bar.Finish();
  bar.Finish();
  lines.Finish();
  const std::string text = terminal.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 5) << "a repeated value is not redrawn";
  EXPECT_NE(text.find(" 50 %"), std::string::npos);
  EXPECT_NE(text.find("[" + std::string(TerminalProgress::kBarWidth, '#') + "] 100 %"),
            std::string::npos)
      << text;
  EXPECT_EQ(pipe.str(),
            "Progress: 0 %\nProgress: 1 %\nProgress: 50 %\nProgress: 98 %\nProgress: 100 %\n");
}

}  // namespace
}  // namespace flashdesk::cli
