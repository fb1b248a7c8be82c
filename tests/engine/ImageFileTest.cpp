#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/ImageFile.h"
#include "testing/EngineRig.h"

namespace flashdesk {
namespace {

using testing_support::ImageBytes;

TEST(ImageFile, OpensSendableFilesAndRefusesThoseThatWouldPutABrokenFrameOnTheBus) {
  testing_support::TempFolder folder;
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
    const std::string path = folder.Write("image.syx", example.bytes);
    ImageFile file;
    ImageHead head;
    std::string problem;
    EXPECT_EQ(OpenSendableImage(file, path, head, problem), sendable) << example.label;
    EXPECT_EQ(file.IsOpen(), sendable) << example.label;
    EXPECT_EQ(ImageRefusal(path).empty(), sendable) << example.label;
    if (sendable) {
      EXPECT_EQ(head.payloadLength, example.payloadLength) << example.label;
      EXPECT_EQ(file.Position(), ImageHead::kHeaderBytes) << example.label;
    }
  }
  for (const std::filesystem::path& unusable : {folder.path / "missing.syx", folder.path}) {
    const std::string refusal = ImageRefusal(unusable.string());
    EXPECT_EQ(refusal.rfind(unusable.string() + ": ", 0), 0u) << refusal;
  }
}

}  // namespace
}  // namespace flashdesk
