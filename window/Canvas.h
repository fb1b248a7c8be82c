#pragma once

#include <cstdint>
#include <string>

// What the window model paints with. Each toolkit implements Canvas over its own drawing
// (QPainter, a GDI device context); all coordinates are client pixels of the 800 x 529 window.
namespace flashdesk::window {

struct Point {
  int x = 0;
  int y = 0;
};

inline Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
inline Point operator+(Point a, Point b) {
  return {a.x + b.x, a.y + b.y};
}

// A rectangle of whole pixels; right and bottom lie just outside it.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool Contains(Point point) const {
    return point.x >= left && point.x < Right() && point.y >= top && point.y < Bottom();
  }
  Point TopLeft() const { return {left, top}; }
  bool Empty() const { return width <= 0 || height <= 0; }
  // The part that both rectangles cover; empty when they do not meet.
  Rect Intersected(const Rect& other) const;
};

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

inline bool operator==(Colour a, Colour b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// The window's fonts by use. All are Arial (or its metric twin Liberation Sans), default
// character set, no italic, underline or strike-out.
enum class FontName { kCaption, kHeading, kBody, kStatus, kPagingText, kEntryText };

// A font as the classic Windows interface asks for one: the cell height (ascent plus descent)
// and the average character width in pixels, and the weight from 400 (normal) to 700 (bold).
struct FontSpec {
  int height;
  int width;
  int weight;
};
FontSpec SpecOf(FontName font);

// The bitmaps by resource number.
enum class BitmapId : int {
  kSkin = 130,
  kUploadNormal = 132,
  kUploadPressed = 133,
  kExit = 134,
  kHelp = 135,
  kProgressPattern = 147,
  kCloseNormal = 158,
  kClosePressed = 159,
};

// Drawing operations; called on the window's thread during a paint.
class Canvas {
 public:
  virtual ~Canvas() = default;
  // Copies the whole bitmap unchanged with its top-left corner at topLeft.
  virtual void CopyBitmap(BitmapId bitmap, Point topLeft) = 0;
  virtual void FillRect(const Rect& rect, Colour colour) = 0;
  // Draws text with a transparent background, its cell's top-left corner at topLeft.
  virtual void DrawText(FontName font, Colour colour, Point topLeft, const std::string& text) = 0;
  // Limits everything drawn afterwards to rect, until the next SetClip or ClearClip.
  virtual void SetClip(const Rect& rect) = 0;
  virtual void ClearClip() = 0;

  // A one-pixel frame just inside rect.
  void FrameRect(const Rect& rect, Colour colour);
};

}  // namespace flashdesk::window
