#pragma once

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>

#include "testing/SimulatedSetup.h"

namespace flashdesk::gui_testing {

// One application for the whole process, made on first use so listing tests needs no display.
inline void EnsureApplication() {
  if (QApplication::instance())
    return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "flashdesk-gui-test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

using testing_support::FirmwareFolder;
using testing_support::SimulatedSetup;

// Pixels inside area within tolerance of colour on every channel.
inline int CountPixels(const QImage& image, const QRect& area, const QColor& colour,
                       int tolerance = 0) {
  int count = 0;
  const QRect clipped = area & image.rect();
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      count += std::abs(pixel.red() - colour.red()) <= tolerance &&
               std::abs(pixel.green() - colour.green()) <= tolerance &&
               std::abs(pixel.blue() - colour.blue()) <= tolerance;
    }
  }
  return count;
}

// Pixels inside area about as dark as text drawn in grey 100, anti-aliased edges aside.
inline int CountTextPixels(const QImage& image, const QRect& area) {
  return CountPixels(image, area, QColor(85, 85, 85), 45);
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return QObject::eventFilter(watched, event);
  }
  int paints = 0;
};

inline QImage Snapshot(QWidget& widget) {
  return widget.grab().toImage();
}

}  // namespace flashdesk::gui_testing
