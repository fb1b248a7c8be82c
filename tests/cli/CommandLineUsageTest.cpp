#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk::cli {
namespace {

// Usage errors are found before the scan, so nothing here touches a port.
class CommandLineUsage : public ::testing::Test {
 protected:
  int Run(const QStringList& arguments) {
    output.str({});
    errors.str({});
    CliEnvironment environment{platform::SystemSerialApi(),
                               platform::SystemClock(),
                               store,
                               input,
                               output,
                               errors,
                               false,
                               {}};
    return RunCommandLine(QStringList{"flashdesk-cli"} + arguments, environment);
  }

  testing_support::MemoryStore store;
  testing_support::TempFolder folder;
  std::istringstream input;
  std::ostringstream output;
  std::ostringstream errors;
};

TEST_F(CommandLineUsage, MistakesExitWithTwoAndSayWhatIsWrong) {
  const std::string shortImage = folder.Write("short.syx", {0, 1, 2, 3, 4, 5, 6});
  const std::string highHeader = folder.Write("high.syx", testing_support::ImageBytes(0x80, 9));
  const struct {
    QStringList arguments;
    const char* complaint;
  } cases[] = {
      {{}, "no command given"},
      {{"flash"}, "unknown command 'flash'"},
      {{"upload"}, "upload needs the firmware FILE"},
      {{"scan", "extra"}, "unexpected argument 'extra'"},
      {{"upload", "a.syx", "b.syx"}, "unexpected argument 'b.syx'"},
      {{"scan", "--yes"}, "--yes applies to exit only"},
      {{"--frobnicate", "scan"}, "frobnicate"},
      {{"--port-template"}, "port-template"},
      {{"--port-template", "/dev/ttyS", "scan"}, "exactly one %i"},
      {{"--port-template", "/dev/tty%s%i", "scan"}, "exactly one %i"},
      {{"--port-template", "/dev/%i/tty%i", "scan"}, "exactly one %i"},
      {{"upload", QString::fromStdString((folder.path / "none.syx").string())},
       "cannot read firmware file"},
      {{"upload", QString::fromStdString(shortImage)}, "is not a firmware image"},
      {{"upload", QString::fromStdString(highHeader)}, "is not a firmware image"},
  };
  for (const auto& example : cases) {
    const std::string label = example.arguments.join(' ').toStdString();
    EXPECT_EQ(Run(example.arguments), kExitUsage) << label;
    EXPECT_NE(errors.str().find(example.complaint), std::string::npos)
        << label << ": " << errors.str();
    EXPECT_NE(errors.str().find("--help"), std::string::npos) << label;
    EXPECT_EQ(output.str(), "") << label;
    EXPECT_TRUE(store.writes.empty()) << label << ": no scan ran";
  }
}

TEST_F(CommandLineUsage, HelpAndVersionAnswerWithoutAScan) {
  EXPECT_EQ(Run({"--help"}), kExitSuccess);
  for (const char* word : {"scan", "upload FILE", "exit", "--yes", "--port-template"}) {
    EXPECT_NE(output.str().find(word), std::string::npos) << word;
  }
  EXPECT_EQ(Run({"--version"}), kExitSuccess);
  EXPECT_EQ(output.str().rfind("flashdesk-cli ", 0), 0u) << output.str();
  EXPECT_TRUE(store.writes.empty());
}

}  // namespace
}  // namespace flashdesk::cli
