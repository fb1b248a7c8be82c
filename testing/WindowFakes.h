#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "window/Canvas.h"
#include "window/FrontEnd.h"
#include "window/UploadDialog.h"

// Stand-ins for a toolkit under the window model, for tests and the tools that draw the window.
namespace flashdesk::testing_support {

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
    if (bitmap == BitmapId::kSkin)
      return {window::UploadDialog::kClientWidth, window::UploadDialog::kClientHeight};
    if (bitmap == BitmapId::kProgressPattern)
      return {451, 36};
    // A button's bitmaps are the button's size.
    for (const window::ButtonSpec& button : window::UploadDialog::kButtons) {
      if (bitmap == button.normal || bitmap == button.pressed)
        return {button.bounds.width, button.bounds.height};
    }
    return {0, 0};
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

}  // namespace flashdesk::testing_support
