#pragma once

#include <QPainter>
#include <QPixmap>
#include <map>
#include <memory>

#include "app/GdiText.h"
#include "window/Canvas.h"

namespace flashdesk {

// The window's bitmaps by resource number and its fonts by name, each made once on first use.
// Window's thread only.
class QtResources {
 public:
  const QPixmap& Bitmap(window::BitmapId bitmap);
  const GdiText& Font(window::FontName font);

 private:
  std::map<window::BitmapId, QPixmap> bitmaps;
  std::map<window::FontName, std::unique_ptr<GdiText>> fonts;
};

// The window model's drawing on a QPainter.
class QtCanvas : public window::Canvas {
 public:
  QtCanvas(QPainter& painter, QtResources& resources) : painter(painter), resources(resources) {}

  void CopyBitmap(window::BitmapId bitmap, window::Point topLeft) override;
  void FillRect(const window::Rect& rect, window::Colour colour) override;
  void DrawText(window::FontName font, window::Colour colour, window::Point topLeft,
                const std::string& text) override;
  void SetClip(const window::Rect& rect) override;
  void ClearClip() override;

 private:
  QPainter& painter;
  QtResources& resources;
};

}  // namespace flashdesk
