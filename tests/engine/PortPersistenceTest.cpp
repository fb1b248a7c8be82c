#include <gtest/gtest.h>

#include <QFile>
#include <climits>
#include <cstdlib>

#include "app/QtSettingsStore.h"
#include "engine/SpeakerNetwork.h"
#include "tests/engine/EngineTestSupport.h"

namespace flashdesk {
namespace {

// The port setting as the programs keep it, in a configuration home of the test's own. One test
// only: QSettings fixes its folders at first use.
TEST(PortPersistence, SavedPortSurvivesIntoTheNextRunAndStoredTextFollowsTheReadingRules) {
  testing_support::TempFolder home;
  setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
  QFile file(QString::fromStdString((home.path / "TARN-System.conf").string()));
  testing_support::ScriptedPrompts prompts;
  // A fresh store and engine, as a new program run would have.
  const auto runOnce = [&prompts](std::int32_t portToSave = INT_MIN) {
    QtSettingsStore store;
    SpeakerNetwork engine({platform::SystemSerialApi(), platform::SystemClock(), store, prompts});
    if (portToSave != INT_MIN)
      engine.SavePort(portToSave);
    return engine.ReadSavedPort();
  };

  EXPECT_EQ(runOnce(), -1) << "no file yet";
  for (const std::int32_t port : {7, 10, 0, -1}) {
    runOnce(port);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("ComPort=" + QByteArray::number(port))) << port;
    file.close();
    EXPECT_EQ(runOnce(), port);
  }

  const struct {
    QByteArray text;
    std::int32_t port;
  } cases[] = {
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
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    EXPECT_EQ(runOnce(), example.port) << example.text.left(24).constData();
  }
}

}  // namespace
}  // namespace flashdesk
