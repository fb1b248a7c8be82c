#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <cstdlib>
#include <memory>

#include "app/QtSettingsStore.h"
#include "engine/SpeakerNetwork.h"
#include "tests/engine/EngineTestSupport.h"

namespace flashdesk {
namespace {

// The port setting as the programs keep it: QSettings fixes its folders at first use, so the
// whole program shares one temporary configuration home; each test starts from a missing file.
class PortPersistence : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    home = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(home->isValid());
    setenv("XDG_CONFIG_HOME", home->path().toLocal8Bit().constData(), 1);
  }
  static void TearDownTestSuite() { home.reset(); }
  void SetUp() override { QFile::remove(ConfigPath()); }

  static QString ConfigPath() { return QDir(home->path()).filePath("TARN-System.conf"); }
  // A fresh store and engine, as a new program run would have.
  std::int32_t RunOnce(std::int32_t portToSave = INT_MIN) {
    QtSettingsStore store;
    SpeakerNetwork engine({platform::SystemSerialApi(), platform::SystemClock(), store, prompts});
    if (portToSave != INT_MIN)
      engine.SavePort(portToSave);
    return engine.ReadSavedPort();
  }

  static std::unique_ptr<QTemporaryDir> home;
  testing_support::ScriptedPrompts prompts;
};

std::unique_ptr<QTemporaryDir> PortPersistence::home;

TEST_F(PortPersistence, SavedPortSurvivesIntoTheNextRunAsSignedDecimal) {
  EXPECT_EQ(RunOnce(), -1) << "no file yet";
  for (const std::int32_t port : {7, 10, 0, -1}) {
    RunOnce(port);
    QFile file(ConfigPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("ComPort=" + QByteArray::number(port))) << port;
    EXPECT_EQ(RunOnce(), port);
  }
}

TEST_F(PortPersistence, StoredTextFollowsTheReadingRules) {
  const struct {
    QByteArray text;
    std::int32_t port;
  } cases[] = {
      {"-1", -1},
      {"3", 3},
      {"COM3", 0},
      {"4abc", 4},
      {"+5", 5},
      {"-", 0},
      {"", -1},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
      {"9" + QByteArray(510, 'x'), 9},
      {"9" + QByteArray(511, 'x'), -1},
  };
  int size = 1000;
  for (const auto& example : cases) {
    // QSettings rereads a file only when its size or time changed: each case a size of its own.
    QByteArray text = "[General]\nComPort=" + example.text + "\nOther=";
    text += QByteArray(++size - text.size() - 1, 'x') + "\n";
    QFile file(ConfigPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    EXPECT_EQ(RunOnce(), example.port) << example.text.left(24).constData();
  }
}

}  // namespace
}  // namespace flashdesk
