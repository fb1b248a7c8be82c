#include "app/QtSettingsStore.h"

namespace flashdesk {

bool QtSettingsStore::OpenSection() {
  if (!settings) {
    settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("TARN-System"));
  }
  return settings->status() == QSettings::NoError;
}

bool QtSettingsStore::ReadValue(const std::string& name, std::string& value) {
  if (!settings)
    return false;
  const QVariant stored = settings->value(QString::fromStdString(name));
  if (!stored.isValid())
    return false;
  const QByteArray text = stored.toString().toUtf8();
  // The registry query fails for values that need the whole 512-byte buffer or more.
  if (text.size() + 1 > kMaxValueBytes)
    return false;
  value = text.toStdString();
  return true;
}

bool QtSettingsStore::WriteValue(const std::string& name, const std::string& value) {
  if (!settings)
    return false;
  settings->setValue(QString::fromStdString(name), QString::fromStdString(value));
  settings->sync();
  return settings->status() == QSettings::NoError;
}

}  // namespace flashdesk
