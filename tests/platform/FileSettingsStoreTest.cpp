// The settings file the programs keep the port in: what QSettings wrote before reads the same,
// a bad file is neither used nor overwritten, a write keeps everything else.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/posix/FileSettingsStore.h"
#include "testing/EngineRig.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

TEST(SettingsFile, ReadsWhatQSettingsWroteRefusesMalformedOrSpecialFilesAndWritesKeepTheRest) {
  testing_support::TempFolder folder;
  std::string path = (folder.path / "TARN-System.conf").string();
  std::vector<std::string> warnings;
  const auto text = [&path] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const auto open = [&] {
    return FileSettingsStore(path, [&](auto& why) { warnings.push_back(why); });
  };
  const struct {
    std::string before;
    const char* port;   // nullptr: absent
    const char* after;  // once ComPort=3 is written; nullptr: a refused file
  } cases[] = {
      {"ComPort=7\n", "7", "ComPort=3\n"},
      {"[General]\r\n  ComPort = 7 \r\n", "7", "[General]\r\nComPort=3\n"},
      {"[General]\nComPort=\"7\"\n", "7", "[General]\nComPort=3\n"},
      {"[general]\nComPort=7\n", "7", "[general]\nComPort=3\n"},
      {"[General]\n;ComPort=8\n#\nComPort=7 ;x\n", "7", "[General]\n;ComPort=8\n#\nComPort=3\n"},
      {"[General]\nComPort=7\nComPort=8\n", "8", "[General]\nComPort=7\nComPort=3\n"},
      {"[General]\ncomport=7\n", nullptr, "[General]\nComPort=3\ncomport=7\n"},
      {"[Other]\nKey=a\n[General]\r\nX=1\r\n", nullptr,
       "[Other]\nKey=a\n[General]\r\nComPort=3\nX=1\r\n"},
      {"; mine\nX=1\n[Other]\nComPort=9", nullptr,
       "[General]\nComPort=3\n; mine\nX=1\n[Other]\nComPort=9\n"},
      {"[General]\ngarbage\nComPort=7\n", nullptr, nullptr},
      {"[General\nComPort=7\n", nullptr, nullptr},
      {"ComPort=7\n" + std::string(FileSettingsStore::kMaxFileBytes, '#'), nullptr, nullptr},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(example.before.substr(0, 40));
    std::ofstream(path, std::ios::binary) << example.before;
    ::chmod(path.c_str(), 0640);
    warnings.clear();
    FileSettingsStore store = open();
    ASSERT_EQ(store.OpenSection(), example.after != nullptr);
    std::string value;
    EXPECT_EQ(store.ReadValue("ComPort", value), example.port != nullptr);
    EXPECT_EQ(value, example.port ? example.port : "");
    EXPECT_EQ(store.WriteValue("ComPort", "3"), example.after != nullptr);
    if (example.after == nullptr) {
      EXPECT_EQ(text(), example.before) << "never overwritten";
      ASSERT_EQ(warnings.size(), 1u) << "told once";
      EXPECT_NE(warnings[0].find(path), std::string::npos) << warnings[0];
    } else {
      EXPECT_TRUE(warnings.empty());
      EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
      EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 1) << "no temporary left";
      EXPECT_EQ(text(), example.after);
      EXPECT_FALSE(store.WriteValue("ComPort", "3\nInjected=1")) << "one line per value";
      EXPECT_FALSE(store.WriteValue("ComPort", "\"3\"")) << "would not read back";
      EXPECT_FALSE(
          store.WriteValue("FirmwareFolder", std::string(FileSettingsStore::kMaxValueBytes, 'a')))
          << "too long to read back";
    }
  }

  // A file at the limit without a last line end: the write would add one.
  const std::string full = "ComPort=7\n" + std::string(FileSettingsStore::kMaxFileBytes - 10, '#');
  std::ofstream(path, std::ios::binary) << full;
  warnings.clear();
  FileSettingsStore nearlyFull = open();
  ASSERT_TRUE(nearlyFull.OpenSection());
  EXPECT_FALSE(nearlyFull.WriteValue("ComPort", "3"));
  EXPECT_TRUE(text() == full) << "left as it was";
  EXPECT_EQ(warnings.size(), 1u);

  fs::remove(path);
  warnings.clear();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(open().OpenSection()) << "a FIFO without writer must not block";
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_FALSE(open().OpenSection());
  EXPECT_EQ(warnings.size(), 2u);

  path = (folder.path / "new" / "TARN-System.conf").string();
  FileSettingsStore created = open();
  ASSERT_TRUE(created.OpenSection());
  EXPECT_TRUE(created.WriteValue("ComPort", "4"));
  EXPECT_EQ(text(), "[General]\nComPort=4\n");
  std::ofstream(folder.path / "plain") << "a file, not a folder";
  path = (folder.path / "plain" / "TARN-System.conf").string();
  FileSettingsStore blocked = open();
  ASSERT_TRUE(blocked.OpenSection()) << "nothing saved yet reads as absent";
  EXPECT_FALSE(blocked.WriteValue("ComPort", "4"));
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[2].rfind("Cannot write the settings file " + path, 0), 0u) << warnings[2];
}

TEST(SettingsFile, ANewFileHasTheUmasksModeAndAWriteRemovesOnlyWhatAKilledWriterLeft) {
  testing_support::TempFolder folder;
  const std::string path = (folder.path / "TARN-System.conf").string();
  const struct {
    const char* name;
    bool old;
    bool removed;
  } others[] = {
      {"TARN-System.conf.flashdesk-Ab12Cd", true, true},
      {"TARN-System.conf.flashdesk-Ef34Gh", false, false},  // perhaps still being written
      {"TARN-System.conf.backup", true, false},
      {"TARN-System.conf.flashdesk-Ab12Cd.old", true, false},
      {"Other.conf.flashdesk-Ab12Cd", true, false},
  };
  for (const auto& other : others) {
    std::ofstream(folder.path / other.name) << "ComPort=1\n";
    if (other.old)
      fs::last_write_time(folder.path / other.name,
                          fs::file_time_type::clock::now() - std::chrono::minutes(2));
  }
  for (const mode_t mask : {077, 002}) {
    fs::remove(path);
    FileSettingsStore store(path, {});
    const mode_t before = ::umask(mask);
    const bool written = store.OpenSection() && store.WriteValue("ComPort", "3");
    ::umask(before);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0666 & ~mask)) << std::oct << mask;
  }
  for (const auto& other : others)
    EXPECT_EQ(fs::exists(folder.path / other.name), !other.removed) << other.name;
}

}  // namespace
}  // namespace flashdesk::platform
