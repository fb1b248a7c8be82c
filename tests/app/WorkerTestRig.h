#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/UploadDialog.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk::worker_testing {

// Generous real-time limit for anything a test waits for; virtual-time runs take milliseconds.
constexpr int kPatienceMs = 60000;

// The engine's clock over a virtual line that can hold the worker thread in one pause, so a
// test acts while a scan or an upload surely runs. The hold ends on Release or when `stop`
// turns true (an exit, the window's end); both are polled.
class HoldingClock : public platform::Clock {
 public:
  explicit HoldingClock(sim::VirtualLine& line) : line(line) {}

  // Holds once, in the first pause at which `due` is true.
  void HoldWhen(std::function<bool()> due, std::function<bool()> stop) {
    std::lock_guard<std::mutex> guard(mutex);
    holdDue = std::move(due);
    holdEnds = std::move(stop);
  }
  void Release() { released = true; }
  // Waits on the window's thread, which keeps handling events meanwhile.
  bool WaitUntilHolding() {
    return QTest::qWaitFor([this] { return holding.load(); }, kPatienceMs);
  }

  std::int32_t TickMs() override { return line.TickMs(); }
  void SleepMs(std::int32_t milliseconds) override {
    if (HoldDue()) {
      for (int waited = 0; !released && !holdEnds() && waited < kPatienceMs; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      holding = false;
    }
    line.SleepMs(milliseconds);
  }

 private:
  bool HoldDue() {
    std::lock_guard<std::mutex> guard(mutex);
    if (!holdDue || !holdDue())
      return false;
    holdDue = nullptr;
    return holding = true;
  }

  sim::VirtualLine& line;
  std::mutex mutex;
  std::function<bool()> holdDue;
  std::function<bool()> holdEnds;
  std::atomic<bool> holding{false};
  std::atomic<bool> released{false};
};

// The image body of a firmware file, which a speaker keeps after an upload.
inline std::vector<std::uint8_t> PayloadOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (bytes.size() < static_cast<std::size_t>(sim::kImageHeaderLength))
    return {};
  return std::vector<std::uint8_t>(bytes.begin() + sim::kImageHeaderLength, bytes.end());
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
// Mode commands that send the speakers back to Application mode.
inline int ApplicationModeCommands(const sim::SpeakerBus& bus) {
  return CountFrames(bus, kModeCommand, kApplicationMode);
}

// The widgets the window keeps to itself, found by type and by object name.
struct WindowParts {
  explicit WindowParts(UploadDialog& dialog)
      : upload(dialog.findChild<QWidget*>(QStringLiteral("upload"))),
        exit(dialog.findChild<QWidget*>(QStringLiteral("exit"))),
        close(dialog.findChild<QWidget*>(QStringLiteral("close"))),
        help(dialog.findChild<QWidget*>(QStringLiteral("help"))),
        speakers(*dialog.findChild<SpeakerPanel*>()),
        firmware(*dialog.findChild<FirmwarePanel*>()),
        progress(*dialog.findChild<ProgressBar*>()) {}

  QWidget *upload, *exit, *close, *help;
  SpeakerPanel& speakers;
  FirmwarePanel& firmware;
  ProgressBar& progress;
};

// The whole window with its real worker threads over the simulated setup, in a scratch folder
// holding the sample firmware.
class WorkerRig : public gui_testing::SimulatedSetup {
 public:
  explicit WorkerRig(const std::vector<sim::SpeakerConfig>& speakers) {
    for (const sim::SpeakerConfig& speaker : speakers)
      bus.AddSpeaker(speaker);
    std::string error;
    EXPECT_TRUE(sim::WriteSampleFirmware(FirmwareCatalog::kFolderName, error)) << error;
    dialog->show();
  }

  // Starts the real start-up scan and waits until its result reached the window.
  bool Scan() {
    dialog->StartScan();
    return QTest::qWaitFor([this] { return !dialog->CurrentView().searching; }, kPatienceMs);
  }
  // Ticks or unticks a panel entry by its check box.
  void Tick(QWidget& entry) { QTest::mouseClick(&entry, Qt::LeftButton, {}, QPoint(7, 7)); }
  std::string Selected() const {
    std::string path;
    parts.firmware.GetSelectedFile(path);
    return path;
  }
  void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
  // Clicks UPLOAD and waits until the upload holds after the first speaker got `blocks` blocks.
  bool StartHeldUpload(std::int32_t blocks) {
    SpeakerNetwork* network = &dialog->Controller().Network();
    clock.HoldWhen([this, blocks] { return bus.Speaker(0).upload.blocksReceived >= blocks; },
                   [network] { return network->AbortRequested(); });
    Click(parts.upload);
    const bool holding = clock.WaitUntilHolding();
    QApplication::processEvents();
    return holding;
  }
  // Holds the start-up scan once it asked who is there, until the exit sequence began.
  void HoldScanUntilExit() {
    UploadDialog* window = dialog.get();
    clock.HoldWhen(
        [this] { return CountFrames(bus, kIdentifyRequest) > 0; },
        [window] { return window->CurrentView().statusText == strings::kClosingStatus; });
  }
  // Waits until no worker thread runs any more and their last posts are handled.
  bool WaitForWorkers() {
    const bool ended =
        QTest::qWaitFor([this] { return !dialog->Controller().WorkersRunning(); }, kPatienceMs);
    QApplication::processEvents();
    return ended;
  }
  UploadDialog::View View() const { return dialog->CurrentView(); }

  gui_testing::FirmwareFolder folder;
  HoldingClock clock{line};
  std::unique_ptr<UploadDialog> dialog =
      std::make_unique<UploadDialog>(EngineServices{line, clock, store, prompts});
  WindowParts parts{*dialog};
};

// A window whose start-up scan has found these speakers.
inline std::unique_ptr<WorkerRig> ScannedRig(const std::vector<sim::SpeakerConfig>& speakers) {
  auto rig = std::make_unique<WorkerRig>(speakers);
  EXPECT_TRUE(rig->Scan());
  return rig;
}

}  // namespace flashdesk::worker_testing
