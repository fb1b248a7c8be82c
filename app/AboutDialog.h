#pragma once

#include <QDialog>

namespace flashdesk {

// "About FlashDesk": the version and one line about the program, with OK.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "About FlashDesk";
  static constexpr const char* kVersionLine = "FlashDesk Version 1.0";
  static constexpr const char* kSecondLine = "TARN firmware uploader";

  explicit AboutDialog(QWidget* parent);
};

}  // namespace flashdesk
