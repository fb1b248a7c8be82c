#pragma once

#include <QApplication>
#include <cstdint>
#include <vector>

#include "app/MainDialog.h"
#include "testing/SimulatedSetup.h"

namespace flashdesk::gui_testing {

// The main window after its start-up scan found a complete speaker of each given type on a
// virtual line.
class ScannedWindow {
 public:
  explicit ScannedWindow(const std::vector<std::uint8_t>& types) {
    std::uint32_t serial = 0x10000;
    for (const std::uint8_t type : types)
      setup.AddSpeaker(type, ++serial);
    dialog.show();
    dialog.Model().StartScan();
    // The scan's result reaches the window through its event loop.
    while (dialog.Model().Initialised() && dialog.Model().CurrentView().searching)
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
  }

  testing_support::SimulatedSetup setup;
  MainDialog dialog{setup.Services()};
};

// For pictures and benchmarks: two TARN-S2 and a TARN-LOW-4, so all eight models are listed
// and the first one's files offered, in a scratch folder holding these sample names.
struct SampleWindow {
  testing_support::FirmwareFolder folder{{"TarnS2V1.23.syx", "TarnS2V1.31.syx", "TarnS2V2.00.syx",
                                          "bootKelV1.05.syx", "TestKelV1.00.syx"}};
  ScannedWindow scanned{{3, 3, 13}};
};

}  // namespace flashdesk::gui_testing
