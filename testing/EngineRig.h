#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "log/ErrorLog.h"
#include "platform/Prompts.h"
#include "platform/SettingsStore.h"
#include "protocol/Protocol.h"
#include "sim/SpeakerBus.h"
#include "testing/VirtualLine.h"

namespace flashdesk::testing_support {

// Where the upload history of this system lives: %LOCALAPPDATA% on Windows.
#ifdef _WIN32
constexpr const char* kStateVariable = "LOCALAPPDATA";
inline void SetEnvironment(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
}
#else
constexpr const char* kStateVariable = "XDG_STATE_HOME";
inline void SetEnvironment(const char* name, const std::string& value) {
  setenv(name, value.c_str(), 1);
}
#endif

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

// The port setting in memory; it hands back whatever text it holds, so the engine's own
// reading rules are what a test sees.
class MemoryStore : public platform::SettingsStore {
 public:
  bool OpenSection() override { return true; }
  bool ReadValue(const std::string& name, std::string& value) override {
    const std::optional<std::string>& held = name == "ComPort" ? stored : others[name];
    if (held)
      value = *held;
    return held.has_value();
  }
  bool WriteValue(const std::string& name, const std::string& value) override {
    writes.push_back(name + "=" + value);
    (name == "ComPort" ? stored : others[name]) = value;
    return true;
  }

  std::optional<std::string> stored;  // the port number's text
  std::map<std::string, std::optional<std::string>> others;
  std::vector<std::string> writes;
};

// Keeps every percentage; onReport runs after each one, on the uploading thread.
class RecordingProgress : public platform::ProgressSink {
 public:
  void ReportProgress(std::int32_t position) override {
    positions.push_back(position);
    if (onReport)
      onReport();
  }
  std::vector<std::int32_t> positions;
  std::function<void()> onReport;
};

// An engine on a simulated bus in virtual time: the bus answers at port busPort, the settings
// start with savedPort as their stored text (none when empty).
class VirtualRig {
 public:
  explicit VirtualRig(std::int16_t busPort = 3,
                      std::optional<std::string> savedPort = std::string("3"))
      : line(bus, busPort) {
    store.stored = std::move(savedPort);
  }

  // A speaker in Boot mode with FPGA software, boot loader, application and test software.
  static sim::SpeakerConfig CompleteSpeaker(std::uint32_t serial, std::uint8_t type = 4) {
    sim::SpeakerConfig config;
    config.serial = serial;
    config.type = type;
    config.software = {{kKindFpga, 1, 0}, {kKindBoot, 1, 5}, {type, 2, 10}, {kKindTest, 1, 1}};
    return config;
  }

  std::vector<sim::RecordedFrame> Sent(std::uint8_t command) const {
    std::vector<sim::RecordedFrame> matching;
    for (const sim::RecordedFrame& frame : bus.Frames()) {
      if (frame.command == command)
        matching.push_back(frame);
    }
    return matching;
  }

  // An upload's events as serial and status code.
  static std::vector<std::pair<std::int32_t, int>> EventsOf(const UploadOutcome& outcome) {
    std::vector<std::pair<std::int32_t, int>> events;
    for (const LogEvent& event : outcome.events)
      events.emplace_back(event.serial, event.code);
    return events;
  }

  static std::vector<std::uint32_t> SerialsOf(const BusSnapshot& bus) {
    std::vector<std::uint32_t> serials;
    for (const SpeakerRecord& record : bus.speakers)
      serials.push_back(record.SerialNumber());
    return serials;
  }

  sim::SpeakerBus bus;
  sim::VirtualLine line;
  MemoryStore store;
  ScriptedPrompts prompts;
  SpeakerNetwork engine{{line, line, store, prompts}};
};

}  // namespace flashdesk::testing_support
