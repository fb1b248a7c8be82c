#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "engine/SpeakerNetwork.h"
#include "platform/posix/FileSettingsStore.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

// The port setting as the programs keep it, in a settings file of the test's own.
TEST(PortPersistence, SavedPortSurvivesIntoTheNextRunAndStoredTextFollowsTheReadingRules) {
  testing_support::TempFolder home;
  const std::string path = (home.path / "TARN-System.conf").string();
  const auto fileText = [&path] {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  };
  testing_support::ScriptedPrompts prompts;
  // A fresh store and engine, as a new program run would have.
  const auto runOnce = [&](std::int32_t portToSave = INT_MIN) {
    platform::FileSettingsStore store(path, {});
    SpeakerNetwork engine({platform::SystemSerialApi(), platform::SystemClock(), store, prompts});
    if (portToSave != INT_MIN)
      engine.SavePort(portToSave);
    return engine.ReadSavedPort();
  };

  EXPECT_EQ(runOnce(), -1) << "no file yet";
  for (const std::int32_t port : {7, 10, 0, -1}) {
    runOnce(port);
    EXPECT_EQ(fileText(), "[General]\nComPort=" + std::to_string(port) + "\n");
    EXPECT_EQ(runOnce(), port);
  }

  const struct {
    std::string text;
    std::int32_t port;
  } cases[] = {
      {"3", 3},
      {"COM3", 0},
      {"4abc", 4},
      {"+5", 5},
      {"-", 0},
      {"", -1},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
      {"9" + std::string(510, 'x'), 9},
      {"9" + std::string(511, 'x'), -1},
  };
  for (const auto& example : cases) {
    std::ofstream(path) << "[General]\nComPort=" << example.text << "\n";
    EXPECT_EQ(runOnce(), example.port) << example.text.substr(0, 24);
  }
}

}  // namespace
}  // namespace flashdesk
