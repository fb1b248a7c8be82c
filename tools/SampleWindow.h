#pragma once

#include <QApplication>

#include "app/MainDialog.h"
#include "testing/SampleWindow.h"

namespace flashdesk::gui_testing {

// The Qt window of the sample after its start-up scan.
struct SampleWindow {
  SampleWindow() {
    dialog.show();
    dialog.Model().StartScan();
    // The scan's result reaches the window through its event loop.
    while (dialog.Model().Initialised() && dialog.Model().CurrentView().searching)
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
  }

  testing_support::SampleSetup sample;
  MainDialog dialog{sample.setup.Services()};
};

}  // namespace flashdesk::gui_testing
