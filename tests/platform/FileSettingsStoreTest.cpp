// The settings file the programs keep the port in: what QSettings wrote before reads the same,
// a bad file is neither used nor overwritten, a write keeps everything else.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/FileSettingsStore.h"
#include "testing/EngineRig.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  std::string Text() const {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }
  void Write(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
  FileSettingsStore Store() {
    return FileSettingsStore(path,
                             [this](const std::string& problem) { warnings.push_back(problem); });
  }

  testing_support::TempFolder folder;
  std::string path = (folder.path / "TARN-System.conf").string();
  std::vector<std::string> warnings;
};

TEST_F(SettingsFile, ReadsWhatQSettingsWritesAndRefusesWhatItCallsMalformed) {
  const struct {
    std::string file;
    bool opens;
    const char* port;  // nullptr: absent
  } cases[] = {
      {"[General]\nComPort=3\n", true, "3"},  // exactly as QSettings wrote it
      {"ComPort=7\n", true, "7"},
      {"[General]\r\n  ComPort = 7 \r\n", true, "7"},
      {"[General]\nComPort=\"7\"\n", true, "7"},
      {"[general]\nComPort=7\n", true, "7"},
      {"[General]\n;ComPort=8\n# note\nComPort=7 ; note\n", true, "7"},
      {"[General]\nComPort=7\nComPort=8\n", true, "8"},
      {"[Other]\nComPort=7\n", true, nullptr},
      {"[General]\ncomport=7\n", true, nullptr},
      {"[General]\nComPort=" + std::string(512, '1') + "\n", true, nullptr},
      {"", true, nullptr},
      {"[General]\ngarbage\nComPort=7\n", false, nullptr},
      {"[General\nComPort=7\n", false, nullptr},
      {"ComPort=7\n" + std::string(FileSettingsStore::kMaxFileBytes, '#'), false, nullptr},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(example.file.substr(0, 40));
    Write(example.file);
    warnings.clear();
    FileSettingsStore store = Store();
    ASSERT_EQ(store.OpenSection(), example.opens);
    std::string value;
    EXPECT_EQ(store.ReadValue("ComPort", value), example.port != nullptr);
    EXPECT_EQ(value, example.port ? example.port : "");
    ASSERT_EQ(warnings.size(), example.opens ? 0u : 1u);
    if (!example.opens) {
      EXPECT_NE(warnings[0].find(path), std::string::npos) << warnings[0];
      EXPECT_FALSE(store.WriteValue("ComPort", "5"));
      EXPECT_EQ(Text(), example.file) << "never overwritten";
      EXPECT_EQ(warnings.size(), 1u) << "told once";
    }
  }
}

TEST_F(SettingsFile, SpecialFilesInItsPlaceAreRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(Store().OpenSection()) << "a FIFO without writer must not block";
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_FALSE(Store().OpenSection());
  EXPECT_EQ(warnings.size(), 2u);
}

TEST_F(SettingsFile, WritesReplaceOneLineAtomicallyAndKeepTheRest) {
  const struct {
    std::string before;
    std::string after;
  } cases[] = {
      {"", "[General]\nComPort=3\n"},
      {"[General]\nComPort=-1\n", "[General]\nComPort=3\n"},
      {"[Other]\nKey=a\n[General]\r\nX=1\r\n", "[Other]\nKey=a\n[General]\r\nComPort=3\nX=1\r\n"},
      {"; mine\nX=1\n[Other]\nComPort=9",
       "[General]\nComPort=3\n; mine\nX=1\n[Other]\nComPort=9\n"},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(example.before);
    Write(example.before);
    ::chmod(path.c_str(), 0640);
    FileSettingsStore store = Store();
    ASSERT_TRUE(store.OpenSection());
    EXPECT_TRUE(store.WriteValue("ComPort", "3"));
    EXPECT_EQ(Text(), example.after);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 1) << "no temporary left";
  }
  EXPECT_TRUE(warnings.empty());

  FileSettingsStore store = Store();
  ASSERT_TRUE(store.OpenSection());
  EXPECT_FALSE(store.WriteValue("ComPort", "3\nInjected=1")) << "one line per value";
  EXPECT_FALSE(store.WriteValue("ComPort", "\"3\"")) << "would not read back";
}

TEST_F(SettingsFile, AFolderThatCannotBeMadeWarnsAndAMissingOneIsCreated) {
  path = (folder.path / "new" / "TARN-System.conf").string();
  FileSettingsStore created = Store();
  ASSERT_TRUE(created.OpenSection());
  EXPECT_TRUE(created.WriteValue("ComPort", "4"));
  EXPECT_EQ(Text(), "[General]\nComPort=4\n");

  std::ofstream(folder.path / "plain") << "a file, not a folder";
  path = (folder.path / "plain" / "TARN-System.conf").string();
  FileSettingsStore blocked = Store();
  ASSERT_TRUE(blocked.OpenSection()) << "nothing saved yet reads as absent";
  EXPECT_FALSE(blocked.WriteValue("ComPort", "4"));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("Cannot write the settings file " + path, 0), 0u) << warnings[0];
}

}  // namespace
}  // namespace flashdesk::platform
