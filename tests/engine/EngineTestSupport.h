#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Prompts.h"

namespace flashdesk::testing_support {

// A folder of its own below the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    path = std::filesystem::temp_directory_path() /
           ("flashdesk-engine-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::filesystem::path file = path / name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }

  std::filesystem::path path;
};

// An image file's bytes: the 7-byte header, then payloadLength bytes of a repeatable pattern.
inline std::vector<std::uint8_t> ImageBytes(std::uint8_t header0, std::size_t payloadLength,
                                            std::uint8_t header1 = 4, std::uint8_t header2 = 1) {
  std::vector<std::uint8_t> bytes = {header0, header1, header2, 0x11, 0x22, 0x33, 0x44};
  for (std::size_t i = 0; i < payloadLength; ++i) {
    bytes.push_back(static_cast<std::uint8_t>((i * 37 + 11) & 0xFF));
  }
  return bytes;
}

// Answers the engine's questions from a script and keeps what it was shown; whileShown runs
// while each message or question is up.
class ScriptedPrompts : public platform::Prompts {
 public:
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    if (whileShown)
      whileShown();
  }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (whileShown)
      whileShown();
    return answerYes;
  }

  bool answerYes = true;
  std::function<void()> whileShown;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
};

}  // namespace flashdesk::testing_support
