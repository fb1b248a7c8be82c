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
  const struct {
    const char* input;
    bool assumeYes;
    bool answer;
  } cases[] = {
      {"y\n", false, true},  {"YES\n", false, true}, {"  yes \n", false, true},
      {"n\n", false, false}, {"\n", false, false},   {"yess\n", false, false},
      {"", false, false},    {"", true, true},       {"no\n", true, true},
  };
  for (const auto& example : cases) {
    std::istringstream input(example.input);
    std::ostringstream output;
    TerminalPrompts prompts(input, output, example.assumeYes);
    EXPECT_EQ(prompts.AskYesNo("Do you want to exit?\n"), example.answer)
        << '"' << example.input << "\" yes=" << example.assumeYes;
    EXPECT_EQ(output.str().rfind("Do you want to exit?\n", 0), 0u) << output.str();
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
