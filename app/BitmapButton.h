#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace flashdesk {

// A push button drawn entirely from bitmaps: pressed, else focused, else disabled, else
// normal. It takes the size of its normal bitmap.
class BitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  // Bitmaps by resource number.
  BitmapButton(int normal, int pressed, int focused, int disabled, QWidget* parent);

  QSize sizeHint() const override { return normalBitmap.size(); }
  // The bitmap drawn in the button's present state.
  const QPixmap& CurrentBitmap() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap normalBitmap;
  QPixmap pressedBitmap;
  QPixmap focusedBitmap;
  QPixmap disabledBitmap;
};

}  // namespace flashdesk
