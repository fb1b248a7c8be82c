#pragma once

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "sim/SpeakerBus.h"
#include "testing/EngineRig.h"
#include "testing/VirtualLine.h"

namespace flashdesk::gui_testing {

// One application for the whole process, made on first use so listing tests needs no display.
inline void EnsureApplication() {
  if (QApplication::instance())
    return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "flashdesk-gui-test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

// A scratch working directory holding syx/; the previous working directory comes back after.
class FirmwareFolder {
 public:
  explicit FirmwareFolder(const std::vector<std::string>& names = {}) {
    std::filesystem::create_directories(Root() / "syx");
    std::filesystem::current_path(Root());
    for (const std::string& name : names)
      Add(name);
  }
  ~FirmwareFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
  }

  void Add(const std::string& name) const { std::ofstream(Root() / "syx" / name) << name; }

 private:
  std::filesystem::path Root() const { return scratch.path().toStdString(); }

  const std::filesystem::path previous = std::filesystem::current_path();
  QTemporaryDir scratch;
};

// Speakers on a virtual serial line at port 3, which the settings name as the saved port.
class SimulatedSetup {
 public:
  static constexpr std::int16_t kBusPort = 3;

  SimulatedSetup() : line(bus, kBusPort) { store.stored = std::to_string(kBusPort); }
  SimulatedSetup(const SimulatedSetup&) = delete;
  SimulatedSetup& operator=(const SimulatedSetup&) = delete;

  // A speaker in Boot mode with boot loader, application and FPGA software.
  static sim::SpeakerConfig CompleteSpeaker(std::uint8_t type, std::uint32_t serial) {
    sim::SpeakerConfig config;
    config.serial = serial;
    config.type = type;
    config.software = {{1, 1, 0}, {type, 1, 23}, {0, 1, 0}};
    return config;
  }
  void AddSpeaker(std::uint8_t type, std::uint32_t serial) {
    bus.AddSpeaker(CompleteSpeaker(type, serial));
  }
  EngineServices Services() { return EngineServices{line, line, store, prompts}; }

  sim::SpeakerBus bus;
  sim::VirtualLine line;
  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
};

// Pixels inside area within tolerance of colour on every channel.
inline int CountPixels(const QImage& image, const QRect& area, const QColor& colour,
                       int tolerance = 0) {
  int count = 0;
  const QRect clipped = area & image.rect();
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      count += std::abs(pixel.red() - colour.red()) <= tolerance &&
               std::abs(pixel.green() - colour.green()) <= tolerance &&
               std::abs(pixel.blue() - colour.blue()) <= tolerance;
    }
  }
  return count;
}

// Pixels inside area about as dark as text drawn in grey 100, anti-aliased edges aside.
inline int CountTextPixels(const QImage& image, const QRect& area) {
  return CountPixels(image, area, QColor(85, 85, 85), 45);
}

// A white surface of a panel's size that holds the panel at its top-left corner.
class PanelSurface : public QWidget {
 public:
  PanelSurface() {
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
    resize(300, 100);
  }
  void Hold(QWidget& panel) {
    panel.setGeometry(0, 0, 300, 100);
    show();
  }
};

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return QObject::eventFilter(watched, event);
  }
  int paints = 0;
};

inline QImage Snapshot(QWidget& widget) {
  return widget.grab().toImage();
}

}  // namespace flashdesk::gui_testing
