#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "resources/Strings.h"
#include "sim/FirmwareImage.h"
#include "testing/HoldingClock.h"
#include "testing/SimulatedSetup.h"
#include "testing/WindowFakes.h"
#include "window/UploadDialog.h"

namespace flashdesk::window_testing {

using window::BitmapId;
using window::Colour;
using window::FontName;
using window::Point;
using window::Rect;

using testing_support::FakeFrontEnd;
using testing_support::PixelCanvas;

// The window model with its real worker threads over simulated speakers in virtual time, in a
// scratch folder holding the sample firmware.
class WindowRig : public testing_support::SimulatedSetup {
 public:
  explicit WindowRig(const std::vector<sim::SpeakerConfig>& speakers = {}) {
    for (const sim::SpeakerConfig& speaker : speakers)
      bus.AddSpeaker(speaker);
    std::string error;
    EXPECT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error)) << error;
    EXPECT_TRUE(dialog->Initialise(96, 96));
  }

  // Runs posted work until done holds; false after the patience ran out.
  bool RunUntil(const std::function<bool()>& done) {
    return testing_support::WaitFor(done, [this] { front.RunPosted(); });
  }
  // Starts the start-up scan and waits until its result reached the window.
  bool Scan() {
    dialog->StartScan();
    return RunUntil([this] { return !View().searching; });
  }
  // Waits until the rig's one upload has ended and its report reached the window (the
  // session hands the result over just before it posts it).
  bool WaitForUpload() {
    return RunUntil([this] {
      return !dialog->Session().Uploading() && View().box == window::BoxContent::kReport;
    });
  }
  // A press on the check box of entry i of the speaker list or the firmware list.
  void TickSpeaker(int i) { Press(window::SpeakerPanel::kBounds, i); }
  void TickFirmware(int i) { Press(window::FirmwarePanel::kBounds, i); }
  std::string Selected() const {
    std::string path;
    dialog->Firmware().GetSelectedFile(path);
    return path;
  }
  // Presses UPLOAD and waits until the upload holds after the first speaker got `blocks`
  // blocks.
  bool StartHeldUpload(std::int32_t blocks) {
    // The session stops the upload as the window goes; the hold ends with it.
    application::Session* session = &dialog->Session();
    clock.HoldWhen([this, blocks] { return bus.Speaker(0).upload.blocksReceived >= blocks; },
                   [session] { return session->AbortRequested(); });
    dialog->OnCommand(window::UploadDialog::kUploadCommand);
    const bool holding = testing_support::WaitFor([this] { return clock.Holding(); });
    front.RunPosted();
    return holding;
  }
  const window::UploadDialog::View& View() const { return dialog->CurrentView(); }
  PixelCanvas Painted() const {
    PixelCanvas canvas;
    dialog->Paint(canvas);
    return canvas;
  }

  testing_support::FirmwareFolder folder;
  testing_support::HoldingClock clock{line};
  FakeFrontEnd front;
  std::unique_ptr<window::UploadDialog> dialog =
      std::make_unique<window::UploadDialog>(EngineServices{line, clock, store, prompts}, front);

 private:
  void Press(const Rect& panel, int i) {
    dialog->MousePress({panel.left + 7, panel.top + window::PagedPanel::EntryTop(i) + 7});
  }
};

// A window whose start-up scan has found these speakers.
inline std::unique_ptr<WindowRig> ScannedRig(const std::vector<sim::SpeakerConfig>& speakers) {
  auto rig = std::make_unique<WindowRig>(speakers);
  EXPECT_TRUE(rig->Scan());
  return rig;
}

// Frames the bus heard with this command code and, when given, this first payload byte.
inline int CountFrames(const sim::SpeakerBus& bus, std::uint8_t command, int firstByte = -1) {
  int count = 0;
  for (const sim::RecordedFrame& frame : bus.Frames()) {
    count += frame.command == command &&
             (firstByte < 0 || (!frame.payload.empty() && frame.payload[0] == firstByte));
  }
  return count;
}

}  // namespace flashdesk::window_testing
