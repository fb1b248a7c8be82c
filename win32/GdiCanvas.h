#pragma once

#include <windows.h>

#include <map>

#include "window/Canvas.h"

namespace flashdesk::win32 {

// The window's bitmaps (Windows resources by their numbers), its fonts by name and one brush
// per colour, each made once on first use and deleted with this object. Window's thread only.
class GdiResources {
 public:
  explicit GdiResources(HINSTANCE instance) : instance(instance) {}
  GdiResources(const GdiResources&) = delete;
  GdiResources& operator=(const GdiResources&) = delete;
  ~GdiResources();

  HBITMAP Bitmap(window::BitmapId bitmap);
  SIZE BitmapSize(window::BitmapId bitmap);
  // Arial in the font's cell height, average character width and weight.
  HFONT Font(window::FontName font);
  HBRUSH Brush(window::Colour colour);

 private:
  HINSTANCE instance;
  std::map<window::BitmapId, HBITMAP> bitmaps;
  std::map<window::FontName, HFONT> fonts;
  std::map<COLORREF, HBRUSH> brushes;
};

// The window model's drawing on a device context. scratch is a memory device context for
// copying bitmaps from.
class GdiCanvas : public window::Canvas {
 public:
  GdiCanvas(HDC target, HDC scratch, GdiResources& resources);
  ~GdiCanvas() override;

  void CopyBitmap(window::BitmapId bitmap, window::Point topLeft) override;
  void FillRect(const window::Rect& rect, window::Colour colour) override;
  void DrawText(window::FontName font, window::Colour colour, window::Point topLeft,
                const std::string& text) override;
  void SetClip(const window::Rect& rect) override;
  void ClearClip() override;

 private:
  HDC target;
  HDC scratch;
  GdiResources& resources;
  HGDIOBJ firstFont;
  HGDIOBJ firstBitmap;
};

}  // namespace flashdesk::win32
