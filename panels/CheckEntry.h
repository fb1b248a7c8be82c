#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <atomic>

namespace flashdesk {

// One line of a selection list: a rounded check box and a text. Only the check box reacts
// to the pointer: hovering darkens its outline, a click toggles it and sends Command.
class CheckEntry : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTextLeft = 20;

  CheckEntry(int controlId, QWidget* parent);

  bool Hover() const { return hover; }
  bool Shown() const { return shown; }
  virtual bool IsSelected() const = 0;
  // Shows or hides the entry and repaints it; any thread.
  void SetShown(bool show);
  // Repaints the entry; any thread.
  void RequestRepaint();

  // The check box is the square from (1, 1) to (14, 14).
  static bool InCheckBox(QPoint point);

 signals:
  void Command(int id);

 protected:
  virtual void ToggleSelected() = 0;
  virtual QString EntryText() const = 0;
  virtual QColor TickedFill() const = 0;

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  const int controlId;
  bool hover = false;
  std::atomic<bool> shown{false};
};

}  // namespace flashdesk
