#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/UploadDialog.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "sim/VirtualLine.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/MemoryStore.h"
#include "tests/panels/GuiTestSupport.h"

namespace flashdesk::worker_testing {

// Generous real-time limit for anything a test waits for; virtual-time runs take milliseconds.
constexpr int kPatienceMs = 60000;

// The engine's clock over a virtual line that can hold the worker thread in one of its pauses,
// so that a test acts while a scan or an upload is surely running. The hold ends when the test
// releases it or when `stop` says so (an exit, the window's end).
class HoldingClock : public platform::Clock {
 public:
  explicit HoldingClock(sim::VirtualLine& line) : line(line) {}

  // Holds once, in the first pause at which `due` is true.
  void HoldWhen(std::function<bool()> due, std::function<bool()> stop) {
    std::lock_guard<std::mutex> guard(mutex);
    holdDue = std::move(due);
    holdEnds = std::move(stop);
  }
  void Release() {
    std::lock_guard<std::mutex> guard(mutex);
    released = true;
    changed.notify_all();
  }
  // Waits on the window's thread, which keeps handling events meanwhile.
  bool WaitUntilHolding() {
    return QTest::qWaitFor([this] { return Holding(); }, kPatienceMs);
  }
  bool Holding() const {
    std::lock_guard<std::mutex> guard(mutex);
    return holding;
  }

  std::int32_t TickMs() override { return line.TickMs(); }
  void SleepMs(std::int32_t milliseconds) override {
    HoldIfDue();
    line.SleepMs(milliseconds);
  }

 private:
  void HoldIfDue() {
    std::unique_lock<std::mutex> guard(mutex);
    if (!holdDue || !holdDue())
      return;
    holdDue = nullptr;
    holding = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    // The stop condition is a flag of the engine or the window, polled rather than signalled.
    while (!released && !holdEnds() && std::chrono::steady_clock::now() < deadline)
      changed.wait_for(guard, std::chrono::milliseconds(1));
    holding = false;
    released = false;
  }

  sim::VirtualLine& line;
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::function<bool()> holdDue;
  std::function<bool()> holdEnds;
  bool holding = false;
  bool released = false;
};

// A sample application image of our own for the given model, written into syx/.
inline std::string WriteApplicationImage(const std::string& name, std::uint8_t model,
                                         std::int32_t bodyLength) {
  const std::vector<std::uint8_t> bytes =
      sim::BuildFirmwareImage(kKindApplication, model, 1, 23, bodyLength);
  const std::filesystem::path path = std::filesystem::path(FirmwareCatalog::kFolderName) / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

inline std::vector<std::uint8_t> PayloadOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (bytes.size() < static_cast<std::size_t>(sim::kImageHeaderLength))
    return {};
  return std::vector<std::uint8_t>(bytes.begin() + sim::kImageHeaderLength, bytes.end());
}

// A speaker holding boot loader, application and FPGA software, in Boot mode.
inline sim::SpeakerConfig CompleteSpeaker(std::uint8_t type, std::uint32_t serial) {
  return gui_testing::SimulatedSetup::CompleteSpeaker(type, serial);
}

// Frames the bus heard with this command code.
inline std::vector<sim::RecordedFrame> FramesOf(const sim::SpeakerBus& bus, std::uint8_t command) {
  std::vector<sim::RecordedFrame> found;
  for (const sim::RecordedFrame& frame : bus.Frames()) {
    if (frame.command == command)
      found.push_back(frame);
  }
  return found;
}

// Mode commands that send the speakers back to Application mode.
inline int ApplicationModeCommands(const sim::SpeakerBus& bus) {
  int count = 0;
  for (const sim::RecordedFrame& frame : FramesOf(bus, kModeCommand)) {
    if (!frame.payload.empty() && frame.payload[0] == kApplicationMode)
      ++count;
  }
  return count;
}

// Scripted answers that can also act while a message is on the screen, as a user may press
// keys behind a message box.
class WindowPrompts : public testing_support::ScriptedPrompts {
 public:
  void ShowMessage(const std::string& text) override {
    ScriptedPrompts::ShowMessage(text);
    if (duringNextMessage) {
      const std::function<void()> action = std::move(duringNextMessage);
      duringNextMessage = nullptr;
      action();
    }
  }

  std::function<void()> duringNextMessage;
};

// The whole window with its real worker threads, over simulated speakers on a virtual line
// at port 3, which the settings name as the saved port; a scratch working folder with syx/.
class WorkerRig {
 public:
  static constexpr std::int16_t kBusPort = 3;

  explicit WorkerRig(const std::vector<sim::SpeakerConfig>& speakers) {
    for (const sim::SpeakerConfig& speaker : speakers)
      bus.AddSpeaker(speaker);
    store.stored = std::to_string(kBusPort);
    dialog = std::make_unique<UploadDialog>(EngineServices{line, clock, store, prompts});
    dialog->show();
  }
  WorkerRig(const WorkerRig&) = delete;
  WorkerRig& operator=(const WorkerRig&) = delete;

  // Starts the real start-up scan and waits until its result reached the window.
  bool Scan() {
    dialog->StartScan();
    return QTest::qWaitFor([this] { return !dialog->CurrentView().searching; }, kPatienceMs);
  }
  // Ticks (or unticks) firmware entry i of the current page by its check box.
  void ToggleFirmware(int entry) {
    QTest::mouseClick(&dialog->firmwarePanel.Entry(entry), Qt::LeftButton, {}, QPoint(7, 7));
  }
  std::string Selected() const {
    std::string path;
    dialog->firmwarePanel.GetSelectedFile(path);
    return path;
  }
  void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
  // Holds the upload in the pause after its first speaker received `blocks` blocks, until
  // released or asked to stop.
  void HoldUploadAfterBlock(std::int32_t blocks) {
    SpeakerNetwork* network = &dialog->speakerPanel.network;
    clock.HoldWhen(
        [this, blocks] {
          return bus.SpeakerCount() > 0 && bus.Speaker(0).upload.blocksReceived >= blocks;
        },
        [network] { return network->abortRequested.load(); });
  }
  // Holds the start-up scan once it has asked the speakers who they are, until released or
  // until the window's exit sequence has begun.
  void HoldScanUntilExit() {
    UploadDialog* window = dialog.get();
    clock.HoldWhen(
        [this] { return !FramesOf(bus, kIdentifyRequest).empty(); },
        [window] { return window->CurrentView().statusText == UploadDialog::kClosingStatus; });
  }
  // Waits until no worker thread runs any more and their last posts are handled.
  bool WaitForWorkers() {
    const bool ended = QTest::qWaitFor([this] { return !dialog->WorkersRunning(); }, kPatienceMs);
    QApplication::processEvents();
    return ended;
  }
  UploadDialog::View View() const { return dialog->CurrentView(); }
  std::int32_t DataBlocksReceived() const {
    return static_cast<std::int32_t>(FramesOf(bus, kDataBlock).size());
  }

  gui_testing::FirmwareFolder folder;
  sim::SpeakerBus bus;
  sim::VirtualLine line{bus, kBusPort};
  HoldingClock clock{line};
  testing_support::MemoryStore store;
  WindowPrompts prompts;
  std::unique_ptr<UploadDialog> dialog;
};

}  // namespace flashdesk::worker_testing
