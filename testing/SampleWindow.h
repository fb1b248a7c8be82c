#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "testing/HoldingClock.h"
#include "testing/SimulatedSetup.h"
#include "testing/WindowFakes.h"
#include "window/UploadDialog.h"

namespace flashdesk::testing_support {

// For pictures, benchmarks and comparisons of the windows: two TARN-S2 and a TARN-LOW-4 on a
// virtual line, so all eight models are listed and the first one's files offered, in a scratch
// folder holding these sample names.
struct SampleSetup {
  SampleSetup() {
    std::uint32_t serial = 0x10000;
    for (const std::uint8_t type : {3, 3, 13})
      setup.AddSpeaker(type, ++serial);
  }

  FirmwareFolder folder{{"TarnS2V1.23.syx", "TarnS2V1.31.syx", "TarnS2V2.00.syx",
                         "bootKelV1.05.syx", "TestKelV1.00.syx"}};
  SimulatedSetup setup;
};

// Pictures of the sample that the windows of both toolkits must draw alike: just after the
// scan; with the second help page; after an upload with a half-filled bar, a ticked second
// file, a hovered box and paging text, UPLOAD pressed and the close cross focused.
enum class SampleState { kScanned, kHelp, kUploaded };

// The state a name on a tool's command line gives: "scanned", "help" or "uploaded".
inline std::optional<SampleState> SampleStateNamed(const char* name) {
  if (std::strcmp(name, "scanned") == 0)
    return SampleState::kScanned;
  if (std::strcmp(name, "help") == 0)
    return SampleState::kHelp;
  if (std::strcmp(name, "uploaded") == 0)
    return SampleState::kUploaded;
  return std::nullopt;
}

// Puts a scanned sample's window model in the state.
inline void ApplySampleState(window::UploadDialog& model, SampleState state) {
  if (state == SampleState::kHelp)
    model.OnCommand(window::UploadDialog::kHelpCommand);
  if (state != SampleState::kUploaded)
    return;
  model.Progress().ReportProgress(50);
  model.ChangeView([](window::UploadDialog::View& view) {
    view.reportText =
        " 1 Speaker(s) Passed:\n    - Serial: 65537\n\n 1 Speaker(s) Failed:\n    - Serial: "
        "65538\n";
    view.box = window::BoxContent::kReport;
    view.statusText = "Status: One Or More Errors May Have Occoured";
  });
  const window::Rect firmware = window::FirmwarePanel::kBounds;
  const window::Rect speakers = window::SpeakerPanel::kBounds;
  model.MousePress({firmware.left + 7, firmware.top + 24 + 7});
  model.MouseMove({speakers.left + 7, speakers.top + 48 + 7}, false);
  model.MouseMove({firmware.left + 60, firmware.top + 80}, false);
}

// Whether a button of the state shows pressed, and whether it has the focus.
inline bool SampleButtonPressed(SampleState state, const window::ButtonSpec& button) {
  return state == SampleState::kUploaded && button.command == window::UploadDialog::kUploadCommand;
}
inline bool SampleButtonFocused(SampleState state, const window::ButtonSpec& button) {
  const bool close = std::string(button.name) == "close";
  return state == SampleState::kUploaded ? close
                                         : button.command == window::UploadDialog::kUploadCommand;
}

// The window model of the sample after its start-up scan, without a toolkit.
class ScannedSample {
 public:
  ScannedSample() {
    model.Initialise(window::UploadDialog::kRequiredDpi, window::UploadDialog::kRequiredDpi);
    model.StartScan();
    WaitFor([this] { return !model.CurrentView().searching; }, [this] { front.RunPosted(); });
  }

  SampleSetup sample;
  FakeFrontEnd front;
  window::UploadDialog model{sample.setup.Services(), front};
};

}  // namespace flashdesk::testing_support
