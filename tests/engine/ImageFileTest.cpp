#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/SpeakerNetwork.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::ImageBytes;

TEST(ImageFile, OpensSendableFilesAndRefusesThoseThatWouldPutABrokenFrameOnTheBus) {
  testing_support::TempFolder folder;
  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
  SpeakerNetwork engine{{platform::SystemSerialApi(), platform::SystemClock(), store, prompts}};
  const struct {
    const char* label;
    std::vector<std::uint8_t> bytes;
    std::int32_t payloadLength;  // -1: refused
  } cases[] = {
      {"eight bytes", ImageBytes(0, 1), 1},
      {"one full block", ImageBytes(1, 66), 66},
      {"header bytes at 0x7F", ImageBytes(0x7F, 3, 0x7F, 0x7F), 3},
      {"largest payload", ImageBytes(3, 2097151), 2097151},
      {"empty", {}, -1},
      {"six bytes", {0, 1, 2, 3, 4, 5}, -1},
      {"header only", ImageBytes(0, 0), -1},
      {"payload beyond 21 bits", ImageBytes(3, 2097152), -1},
      {"header byte 0 at 0x80", ImageBytes(0x80, 10), -1},
      {"header byte 1 at 0x80", ImageBytes(0, 10, 0x80, 0), -1},
      {"header byte 2 at 0xFF", ImageBytes(0, 10, 0, 0xFF), -1},
  };
  for (const auto& example : cases) {
    const bool sendable = example.payloadLength >= 0;
    EXPECT_EQ(engine.OpenImage(folder.Write("image.syx", example.bytes)), sendable)
        << example.label;
    EXPECT_EQ(engine.ImageIsOpen(), sendable) << example.label;
    EXPECT_EQ(engine.ImageProblem().empty(), sendable) << example.label;
    if (sendable) {
      EXPECT_EQ(engine.PayloadLength(), example.payloadLength) << example.label;
    }
    engine.CloseImage();
    EXPECT_FALSE(engine.ImageIsOpen()) << example.label;
  }
  for (const std::filesystem::path& unusable : {folder.path / "missing.syx", folder.path}) {
    EXPECT_FALSE(engine.OpenImage(unusable.string()));
    EXPECT_NE(engine.ImageProblem().find(unusable.string() + ": "), std::string::npos)
        << engine.ImageProblem();
  }
}

}  // namespace
}  // namespace flashdesk
