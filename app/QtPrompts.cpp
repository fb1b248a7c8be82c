#include "app/QtPrompts.h"

#include <QApplication>
#include <QMessageBox>

#include "resources/Strings.h"

namespace flashdesk {
namespace {

const QString kCaption = QString::fromLatin1(strings::kProgramName);

}  // namespace

void QtPrompts::ShowMessage(const std::string& text) {
  QMessageBox::information(QApplication::activeWindow(), kCaption, QString::fromStdString(text),
                           QMessageBox::Ok);
}

bool QtPrompts::AskYesNo(const std::string& text) {
  return QMessageBox::question(QApplication::activeWindow(), kCaption, QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace flashdesk
