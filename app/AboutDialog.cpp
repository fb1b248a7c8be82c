#include "app/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "resources/Strings.h"

namespace flashdesk {

// Laid out like a 235 x 55 dialog-unit template in 8-point type at 96 dpi.
AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(strings::kAboutCaption));
  setFixedSize(353, 89);
  auto* version = new QLabel(QString::fromLatin1(strings::kAboutVersion), this);
  version->setTextFormat(Qt::PlainText);
  version->setGeometry(60, 16, 179, 14);
  auto* about = new QLabel(QString::fromLatin1(strings::kAboutLine), this);
  about->setGeometry(60, 41, 200, 14);
  auto* ok = new QPushButton(QString::fromLatin1(strings::kOk), this);
  ok->setGeometry(267, 11, 75, 23);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace flashdesk
