#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

#include "app/QtSettingsStore.h"
#include "engine/SpeakerNetwork.h"
#include "tests/engine/EngineTestSupport.h"

namespace flashdesk {
namespace {

// QSettings fixes its folders at first use, so the whole program shares one temporary
// configuration home; each test starts from a missing file.
class QtSettingsPersistence : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    home = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(home->isValid());
    setenv("XDG_CONFIG_HOME", home->path().toLocal8Bit().constData(), 1);
  }
  static void TearDownTestSuite() { home.reset(); }
  void SetUp() override { QFile::remove(ConfigPath()); }

  static QString ConfigPath() { return QDir(home->path()).filePath("TARN-System.conf"); }
  static void WriteConfig(const QByteArray& text) {
    QFile file(ConfigPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  // A fresh store and engine, as a new program run would have.
  std::int32_t ReadInNewRun() {
    QtSettingsStore store;
    SpeakerNetwork engine({platform::SystemSerialApi(), platform::SystemClock(), store, prompts});
    return engine.ReadSavedPort();
  }

  static std::unique_ptr<QTemporaryDir> home;
  testing_support::ScriptedPrompts prompts;
};

std::unique_ptr<QTemporaryDir> QtSettingsPersistence::home;

TEST_F(QtSettingsPersistence, SavedPortSurvivesIntoTheNextRun) {
  EXPECT_EQ(ReadInNewRun(), -1);
  {
    QtSettingsStore store;
    SpeakerNetwork engine({platform::SystemSerialApi(), platform::SystemClock(), store, prompts});
    engine.SavePort(7);
  }
  QFile file(ConfigPath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("ComPort=7"));
  EXPECT_EQ(ReadInNewRun(), 7);
}

TEST_F(QtSettingsPersistence, HandEditedValuesFollowTheReadingRules) {
  const struct {
    QByteArray line;
    std::int32_t port;
  } cases[] = {
      {"ComPort=-1", -1},
      {"ComPort=3", 3},
      {"ComPort=COM3", 0},
      {"ComPort=", -1},
      {"ComPort=" + QByteArray(512, '2'), -1},
      {"ComPort=9" + QByteArray(510, 'x'), 9},
      {"Other=4", -1},
  };
  for (const auto& example : cases) {
    WriteConfig("[General]\n" + example.line + "\n");
    EXPECT_EQ(ReadInNewRun(), example.port) << example.line.left(20).constData();
  }
}

}  // namespace
}  // namespace flashdesk
