#include "win32/GdiCanvas.h"

#include <vector>

#include "win32/WideText.h"

namespace flashdesk::win32 {
namespace {

COLORREF ToGdi(window::Colour colour) {
  return RGB(colour.red, colour.green, colour.blue);
}

}  // namespace

GdiResources::~GdiResources() {
  for (const auto& [id, bitmap] : bitmaps)
    DeleteObject(bitmap);
  for (const auto& [name, font] : fonts)
    DeleteObject(font);
  for (const auto& [colour, brush] : brushes)
    DeleteObject(brush);
}

HBITMAP GdiResources::Bitmap(window::BitmapId bitmap) {
  auto known = bitmaps.find(bitmap);
  if (known == bitmaps.end()) {
    const auto handle = static_cast<HBITMAP>(LoadImageW(
        instance, MAKEINTRESOURCEW(static_cast<int>(bitmap)), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    known = bitmaps.emplace(bitmap, handle).first;
  }
  return known->second;
}

SIZE GdiResources::BitmapSize(window::BitmapId bitmap) {
  BITMAP facts{};
  if (GetObjectW(Bitmap(bitmap), sizeof facts, &facts) == 0)
    return {0, 0};
  return {facts.bmWidth, facts.bmHeight};
}

HFONT GdiResources::Font(window::FontName font) {
  auto known = fonts.find(font);
  if (known == fonts.end()) {
    const window::FontSpec spec = window::SpecOf(font);
    const HFONT handle = CreateFontW(spec.height, spec.width, 0, 0, spec.weight, FALSE, FALSE,
                                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial");
    known = fonts.emplace(font, handle).first;
  }
  return known->second;
}

HBRUSH GdiResources::Brush(window::Colour colour) {
  const COLORREF key = ToGdi(colour);
  auto known = brushes.find(key);
  if (known == brushes.end())
    known = brushes.emplace(key, CreateSolidBrush(key)).first;
  return known->second;
}

GdiCanvas::GdiCanvas(HDC target, HDC scratch, GdiResources& resources)
    : target(target),
      scratch(scratch),
      resources(resources),
      firstFont(GetCurrentObject(target, OBJ_FONT)),
      firstBitmap(GetCurrentObject(scratch, OBJ_BITMAP)) {
  SetBkMode(target, TRANSPARENT);
}

GdiCanvas::~GdiCanvas() {
  SelectObject(target, firstFont);
  SelectObject(scratch, firstBitmap);
  SelectClipRgn(target, nullptr);
}

void GdiCanvas::CopyBitmap(window::BitmapId bitmap, window::Point topLeft) {
  const SIZE size = resources.BitmapSize(bitmap);
  SelectObject(scratch, resources.Bitmap(bitmap));
  BitBlt(target, topLeft.x, topLeft.y, size.cx, size.cy, scratch, 0, 0, SRCCOPY);
}

void GdiCanvas::FillRect(const window::Rect& rect, window::Colour colour) {
  const RECT area{rect.left, rect.top, rect.Right(), rect.Bottom()};
  ::FillRect(target, &area, resources.Brush(colour));
}

void GdiCanvas::DrawText(window::FontName font, window::Colour colour, window::Point topLeft,
                         const std::string& text) {
  const std::wstring wide = Wide(text);
  const int count = static_cast<int>(wide.size());
  SelectObject(target, resources.Font(font));
  SetTextColor(target, ToGdi(colour));
  // Each glyph where the text's own extents put it: Wine's plain TextOut pulls some pairs
  // together ("ve") that its own extents keep apart.
  std::vector<INT> ends(static_cast<std::size_t>(count));
  SIZE whole;
  GetTextExtentExPointW(target, wide.c_str(), count, 0, nullptr, ends.data(), &whole);
  std::vector<INT> advances(ends.size());
  for (std::size_t i = 0; i < ends.size(); ++i)
    advances[i] = ends[i] - (i == 0 ? 0 : ends[i - 1]);
  ExtTextOutW(target, topLeft.x, topLeft.y, 0, nullptr, wide.c_str(), static_cast<UINT>(count),
              advances.data());
}

void GdiCanvas::SetClip(const window::Rect& rect) {
  const HRGN region = CreateRectRgn(rect.left, rect.top, rect.Right(), rect.Bottom());
  SelectClipRgn(target, region);
  DeleteObject(region);
}

void GdiCanvas::ClearClip() {
  SelectClipRgn(target, nullptr);
}

}  // namespace flashdesk::win32
