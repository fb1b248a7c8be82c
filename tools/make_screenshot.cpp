// Renders the main window after a scan of simulated speakers and saves it as a PNG:
//   flashdesk-make-screenshot OUTPUT.png
// The speakers answer on a virtual serial line; the firmware list comes from sample file names
// in a scratch folder.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

#include "app/UploadDialog.h"
#include "platform/Prompts.h"
#include "platform/SettingsStore.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"

namespace {

constexpr std::int16_t kBusPort = 3;

class MemorySettings : public flashdesk::platform::SettingsStore {
 public:
  bool OpenSection() override { return true; }
  bool ReadValue(const std::string& name, std::string& value) override {
    const auto found = values.find(name);
    if (found == values.end())
      return false;
    value = found->second;
    return true;
  }
  bool WriteValue(const std::string& name, const std::string& value) override {
    values[name] = value;
    return true;
  }

 private:
  std::map<std::string, std::string> values;
};

class PrintedPrompts : public flashdesk::platform::Prompts {
 public:
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool AskYesNo(const std::string& text) override {
    std::fprintf(stderr, "%s (yes)\n", text.c_str());
    return true;
  }
};

flashdesk::sim::SpeakerConfig Speaker(std::uint32_t serial, std::uint8_t type) {
  flashdesk::sim::SpeakerConfig config;
  config.serial = serial;
  config.type = type;
  config.software = {{1, 1, 5}, {type, 1, 23}, {0, 2, 1}};
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  QTemporaryDir scratch;
  if (!scratch.isValid() || !QDir(scratch.path()).mkdir(QStringLiteral("syx")))
    return 1;
  for (const char* name : {"TarnS2V1.23.syx", "TarnS2V1.31.syx", "TarnS2V2.00.syx",
                           "bootKelV1.05.syx", "TestKelV1.00.syx"}) {
    QFile file(scratch.filePath(QStringLiteral("syx/") + QString::fromLatin1(name)));
    if (!file.open(QIODevice::WriteOnly))
      return 1;
  }
  QDir::setCurrent(scratch.path());

  flashdesk::sim::SpeakerBus bus;
  bus.AddSpeaker(Speaker(0x0123456, 3));
  bus.AddSpeaker(Speaker(0x0123457, 3));
  bus.AddSpeaker(Speaker(0x0234567, 13));
  flashdesk::sim::VirtualLine line(bus, kBusPort);
  MemorySettings settings;
  settings.WriteValue("ComPort", std::to_string(kBusPort));
  PrintedPrompts prompts;
  const flashdesk::EngineServices services{line, line, settings, prompts};

  flashdesk::UploadDialog dialog(services);
  dialog.show();
  dialog.speakerPanel.Fill();
  dialog.ApplyScanResult();
  QApplication::processEvents();
  if (!dialog.grab().save(output)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
    return 1;
  }
  return 0;
}
