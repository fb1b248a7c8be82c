#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"

namespace flashdesk::gui_testing {

// One application object for every test of the process, on the offscreen platform. Created
// on first use so that listing the tests needs no display.
inline void EnsureApplication() {
  if (QApplication::instance())
    return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "flashdesk-gui-test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

// A temporary working directory holding a syx folder; the previous working directory is
// restored at the end.
class FirmwareFolder {
 public:
  explicit FirmwareFolder(const std::vector<std::string>& names = {})
      : previous(std::filesystem::current_path()) {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("flashdesk-gui-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(root / "syx");
    std::filesystem::current_path(root);
    for (const std::string& name : names)
      Add(name);
  }
  ~FirmwareFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(root, ignored);
  }
  FirmwareFolder(const FirmwareFolder&) = delete;
  FirmwareFolder& operator=(const FirmwareFolder&) = delete;

  void Add(const std::string& name) const { std::ofstream(root / "syx" / name) << name; }
  void RemoveFolder() const { std::filesystem::remove_all(root / "syx"); }

 private:
  std::filesystem::path previous;
  std::filesystem::path root;
};

// Speakers on a virtual serial line at port 3, which the settings name as the saved port.
class SimulatedSetup {
 public:
  static constexpr std::int16_t kBusPort = 3;

  SimulatedSetup() : line(bus, kBusPort) { store.stored = std::to_string(kBusPort); }
  SimulatedSetup(const SimulatedSetup&) = delete;
  SimulatedSetup& operator=(const SimulatedSetup&) = delete;

  // A speaker with boot loader, application and FPGA software.
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

// Pixels of image inside area for which matches(colour) holds.
template <typename Matches>
int CountMatching(const QImage& image, const QRect& area, Matches matches) {
  int count = 0;
  const QRect clipped = area & image.rect();
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      if (matches(image.pixelColor(x, y)))
        ++count;
    }
  }
  return count;
}

// Pixels inside area within tolerance of colour on every channel.
inline int CountPixels(const QImage& image, const QRect& area, const QColor& colour,
                       int tolerance = 0) {
  return CountMatching(image, area, [&colour, tolerance](const QColor& pixel) {
    return std::abs(pixel.red() - colour.red()) <= tolerance &&
           std::abs(pixel.green() - colour.green()) <= tolerance &&
           std::abs(pixel.blue() - colour.blue()) <= tolerance;
  });
}

// Grey pixels inside area about as dark as text drawn in grey 100 (anti-aliased edges aside).
inline int CountTextPixels(const QImage& image, const QRect& area) {
  return CountMatching(image, area, [](const QColor& pixel) {
    const int grey = (pixel.red() + pixel.green() + pixel.blue()) / 3;
    return std::abs(pixel.red() - pixel.blue()) < 12 && grey >= 40 && grey <= 130;
  });
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

inline QImage Snapshot(QWidget& widget) {
  return widget.grab().toImage();
}

}  // namespace flashdesk::gui_testing
