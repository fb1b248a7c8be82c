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
#include "window/UploadDialog.h"

namespace flashdesk::window_testing {

using window::BitmapId;
using window::Colour;
using window::FontName;
using window::Point;
using window::Rect;

// What a paint leaves on the window: each pixel's colour, or the bitmap pixel copied there, and
// every text with its font, colour and place.
class PixelCanvas : public window::Canvas {
 public:
  struct Pixel {
    Colour colour;
    std::optional<BitmapId> bitmap;  // a copied bitmap's pixel at (bitmapX, bitmapY)
    int bitmapX = 0;
    int bitmapY = 0;
  };
  struct Text {
    FontName font;
    Colour colour;
    Point topLeft;
    std::string text;
  };

  PixelCanvas()
      : pixels(window::UploadDialog::kClientWidth * window::UploadDialog::kClientHeight) {}

  void CopyBitmap(BitmapId bitmap, Point topLeft) override {
    const Rect area{topLeft.x, topLeft.y, SizeOf(bitmap).x, SizeOf(bitmap).y};
    Each(area, [&](Pixel& pixel, int x, int y) {
      pixel = {{}, bitmap, x - topLeft.x, y - topLeft.y};
    });
  }
  void FillRect(const Rect& rect, Colour colour) override {
    Each(rect, [colour](Pixel& pixel, int, int) { pixel = {colour, std::nullopt, 0, 0}; });
  }
  void DrawText(FontName font, Colour colour, Point topLeft, const std::string& text) override {
    if (clip.Contains(topLeft))
      texts.push_back({font, colour, topLeft, text});
  }
  void SetClip(const Rect& rect) override {
    clip = rect.Intersected(window::UploadDialog::kClient);
  }
  void ClearClip() override { clip = window::UploadDialog::kClient; }

  const Pixel& At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y * window::UploadDialog::kClientWidth + x)];
  }
  bool Is(int x, int y, Colour colour) const {
    return !At(x, y).bitmap && At(x, y).colour == colour;
  }
  // Pixels of area in the colour.
  int Count(const Rect& area, Colour colour) const {
    int count = 0;
    for (int y = area.top; y < area.Bottom(); ++y) {
      for (int x = area.left; x < area.Right(); ++x)
        count += Is(x, y, colour);
    }
    return count;
  }
  // The text drawn with its top-left corner at the point, if any.
  const Text* TextAt(Point at) const {
    for (const Text& text : texts) {
      if (text.topLeft.x == at.x && text.topLeft.y == at.y)
        return &text;
    }
    return nullptr;
  }

  std::vector<Text> texts;

 private:
  static Point SizeOf(BitmapId bitmap) {
    switch (bitmap) {
      case BitmapId::kSkin:
        return {800, 529};
      case BitmapId::kProgressPattern:
        return {451, 36};
      default:
        return {0, 0};
    }
  }
  template <typename Paint>
  void Each(const Rect& rect, Paint paint) {
    const Rect area = rect.Intersected(clip);
    for (int y = area.top; y < area.Bottom(); ++y) {
      for (int x = area.left; x < area.Right(); ++x)
        paint(pixels[static_cast<std::size_t>(y * window::UploadDialog::kClientWidth + x)], x, y);
    }
  }

  std::vector<Pixel> pixels;
  Rect clip = window::UploadDialog::kClient;
};

// A toolkit for the window model: posted work waits in a queue until the test runs it on its
// own thread, which plays the window's; everything else is noted, and choosers answer from
// the test's script.
class FakeFrontEnd : public window::FrontEnd {
 public:
  void Post(std::function<void()> work) override {
    std::lock_guard<std::mutex> guard(lock);
    posted.push_back(std::move(work));
  }
  // Runs what has been posted so far.
  void RunPosted() {
    std::deque<std::function<void()>> due;
    {
      std::lock_guard<std::mutex> guard(lock);
      due.swap(posted);
    }
    for (const auto& work : due)
      work();
  }
  // What a window that is gone never runs, as a toolkit drops it.
  void DiscardPosted() {
    std::lock_guard<std::mutex> guard(lock);
    posted.clear();
  }
  void Invalidate(const Rect&) override { ++invalidations; }
  void PaintNow(const Rect&) override {
    if (paintNow)
      paintNow();
  }
  void MoveWindowBy(Point offset) override { moves.push_back(offset); }
  void RequestClose() override { closeRequested = true; }
  void EndWindow(int result) override { ended = result; }
  void ShowContextMenu(Point, const std::vector<window::MenuItem>& items) override { menu = items; }
  std::optional<std::string> ChooseReportFile(const std::string&) override { return reportFile; }
  std::optional<std::string> ChooseFolder(const std::string&) override { return folder; }
  bool OpenFolder(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  void ShowAbout() override { ++aboutShown; }

  std::function<void()> paintNow;
  int invalidations = 0;
  std::vector<Point> moves;
  bool closeRequested = false;
  std::optional<int> ended;
  std::vector<window::MenuItem> menu;
  std::optional<std::string> reportFile;
  std::optional<std::string> folder;
  std::vector<std::string> opened;
  int aboutShown = 0;

 private:
  std::mutex lock;
  std::deque<std::function<void()>> posted;
};

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
  // Waits until no upload runs any more and its last posts are handled.
  bool WaitForUpload() {
    const bool ended = RunUntil([this] { return !dialog->Session().Uploading(); });
    front.RunPosted();
    return ended;
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
