#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "platform/Clock.h"
#include "platform/SerialApi.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk {
namespace {

class PortPersistence : public ::testing::Test {
 protected:
  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
  SpeakerNetwork engine{{platform::SystemSerialApi(), platform::SystemClock(), store, prompts}};
};

struct StoredText {
  const char* label;
  std::optional<std::string> text;
  std::int32_t port;
};

TEST_F(PortPersistence, StoredTextReadsAsThePortNumber) {
  const StoredText cases[] = {
      {"absent", std::nullopt, -1},
      {"empty", std::string(), -1},
      {"seven", std::string("7"), 7},
      {"ten", std::string("10"), 10},
      {"minus one", std::string("-1"), -1},
      {"no leading digit", std::string("COM3"), 0},
      {"digits then text", std::string("4abc"), 4},
      {"leading blanks and plus", std::string("  +5"), 5},
      {"sign alone", std::string("-"), 0},
      {"too large", std::string("99999999999999999999"), INT_MAX},
      {"too small", std::string("-99999999999999999999"), INT_MIN},
      {"511 bytes", std::string("6") + std::string(510, 'x'), 6},
      {"512 bytes", std::string("6") + std::string(511, 'x'), -1},
      {"embedded zero",
       std::string("8\0"
                   "9",
                   3),
       8},
  };
  for (const StoredText& example : cases) {
    store.stored = example.text;
    EXPECT_EQ(engine.ReadSavedPort(), example.port) << example.label;
  }
}

TEST_F(PortPersistence, SectionThatCannotOpenReadsAsNoneAndIsNotWritten) {
  store.stored = "3";
  store.openFails = true;
  EXPECT_EQ(engine.ReadSavedPort(), -1);
  engine.SavePort(4);
  EXPECT_TRUE(store.writes.empty());
  EXPECT_EQ(store.stored, "3");
}

TEST_F(PortPersistence, SavedPortIsWrittenAsSignedDecimalAndReadsBack) {
  for (const std::int32_t port : {3, 10, 0, -1}) {
    engine.SavePort(port);
    EXPECT_EQ(store.writes.back(), "ComPort=" + std::to_string(port));
    EXPECT_EQ(engine.ReadSavedPort(), port);
  }
  EXPECT_EQ(store.writes.size(), 4u);
}

}  // namespace
}  // namespace flashdesk
