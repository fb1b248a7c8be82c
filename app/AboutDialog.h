#pragma once

#include <QDialog>

namespace flashdesk {

// "About FlashDesk": the version and one line about the program, with OK.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);
};

}  // namespace flashdesk
