#include <gtest/gtest.h>

#include "engine/SpeakerNetwork.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk {
namespace {

using testing_support::ImageBytes;

class ImageFileOpening : public ::testing::Test {
 protected:
  testing_support::TempFolder folder;
  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
  SpeakerNetwork engine{{platform::SystemSerialApi(), platform::SystemClock(), store, prompts}};
};

TEST_F(ImageFileOpening, SendableFilesOpenWithTheirPayloadLength) {
  const struct {
    const char* label;
    std::vector<std::uint8_t> bytes;
    std::int32_t payloadLength;
  } cases[] = {
      {"eight bytes", ImageBytes(0, 1), 1},
      {"one full block", ImageBytes(1, 66), 66},
      {"header bytes at 0x7F", ImageBytes(0x7F, 3, 0x7F, 0x7F), 3},
      {"largest payload", ImageBytes(3, 2097151), 2097151},
  };
  for (const auto& example : cases) {
    const std::string path = folder.Write("good.syx", example.bytes);
    EXPECT_TRUE(engine.OpenImage(path)) << example.label;
    EXPECT_TRUE(engine.ImageIsOpen()) << example.label;
    EXPECT_EQ(engine.PayloadLength(), example.payloadLength) << example.label;
    engine.CloseImage();
    EXPECT_FALSE(engine.ImageIsOpen()) << example.label;
  }
}

TEST_F(ImageFileOpening, FilesThatWouldPutABrokenFrameOnTheBusAreRefused) {
  const struct {
    const char* label;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"three bytes", {0, 1, 2}},
      {"six bytes", {0, 1, 2, 3, 4, 5}},
      {"header only", ImageBytes(0, 0)},
      {"payload beyond 21 bits", ImageBytes(3, 2097152)},
      {"header byte 0 at 0x80", ImageBytes(0x80, 10)},
      {"header byte 1 at 0x80", ImageBytes(0, 10, 0x80, 0)},
      {"header byte 2 at 0xFF", ImageBytes(0, 10, 0, 0xFF)},
  };
  for (const auto& example : cases) {
    const std::string path = folder.Write("bad.syx", example.bytes);
    EXPECT_FALSE(engine.OpenImage(path)) << example.label;
    EXPECT_FALSE(engine.ImageIsOpen()) << example.label;
  }
  EXPECT_FALSE(engine.OpenImage((folder.path / "missing.syx").string()));
  EXPECT_FALSE(engine.OpenImage(folder.path.string())) << "a folder";
  EXPECT_FALSE(engine.ImageIsOpen());
}

}  // namespace
}  // namespace flashdesk
