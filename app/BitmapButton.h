#pragma once

#include <QAbstractButton>

#include "app/QtCanvas.h"
#include "window/UploadDialog.h"

namespace flashdesk {

// A push button drawn entirely from the bitmap its spec names for its state, the size of its
// normal bitmap, at its place in the window.
class BitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  BitmapButton(const window::ButtonSpec& spec, QtResources& resources, QWidget* parent);

  QSize sizeHint() const override;
  // The bitmap drawn in the button's present state.
  window::BitmapId CurrentBitmap() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const window::ButtonSpec& spec;
  QtResources& resources;
};

}  // namespace flashdesk
