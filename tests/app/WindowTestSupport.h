#pragma once

#include <QApplication>
#include <QEvent>
#include <cstdint>
#include <string>
#include <vector>

#include "app/UploadDialog.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk::gui_testing {

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      ++paints;
    return QObject::eventFilter(watched, event);
  }
  int paints = 0;
};

// A typical setup for pictures and benchmarks: two TARN-S2 and a TARN-LOW-4, so all eight
// models are listed and the first one's files are offered.
inline const std::vector<std::uint8_t> kSampleSpeakerTypes = {3, 3, 13};
inline const std::vector<std::string> kSampleFirmwareNames = {"TarnS2V1.23.syx", "TarnS2V1.31.syx",
                                                              "TarnS2V2.00.syx", "bootKelV1.05.syx",
                                                              "TestKelV1.00.syx"};

// The main window after its start-up scan found the given speakers (a complete speaker of
// each type, then any others as configured) on a virtual line.
class ScannedWindow {
 public:
  explicit ScannedWindow(const std::vector<std::uint8_t>& types,
                         const std::vector<sim::SpeakerConfig>& others = {}) {
    std::uint32_t serial = 0x10000;
    for (const std::uint8_t type : types)
      setup.AddSpeaker(type, ++serial);
    for (const sim::SpeakerConfig& config : others)
      setup.bus.AddSpeaker(config);
    dialog.show();
    dialog.speakerPanel.Fill();
    dialog.ApplyScanResult();
    QApplication::processEvents();
  }

  std::vector<FirmwareEntry> Listed() const {
    std::vector<FirmwareEntry> listed;
    const FirmwareCatalog& catalog = dialog.firmwarePanel.Catalog();
    for (std::int32_t i = 0; i < catalog.EntryCount(); ++i)
      listed.push_back(catalog.Entry(i));
    return listed;
  }

  SimulatedSetup setup;
  UploadDialog dialog{setup.Services()};
};

// The sample setup's window after its scan, in a scratch working directory holding the sample
// firmware names.
struct SampleWindow {
  FirmwareFolder folder{kSampleFirmwareNames};
  ScannedWindow scanned{kSampleSpeakerTypes};
};

}  // namespace flashdesk::gui_testing
