#include "ui/QtHistoryStore.h"

#include <QSettings>
#include <cerrno>

namespace tarnwick::ui {
namespace {

QString KeyOf(const std::string& section, const std::string& key) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

QSettings Settings() { return QSettings(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick")); }

Status Written(QSettings& settings) {
  settings.sync();
  if (settings.status() == QSettings::NoError) return {};
  return Status::IoError(settings.fileName().toStdString(), EACCES);
}

}  // namespace

std::optional<std::string> QtHistoryStore::GetString(const std::string& section, const std::string& key) {
  const QString value = Settings().value(KeyOf(section, key)).toString();
  if (value.isEmpty()) return std::nullopt;
  return value.toStdString();
}

Status QtHistoryStore::SetString(const std::string& section, const std::string& key, const std::string& value) {
  QSettings settings = Settings();
  settings.setValue(KeyOf(section, key), QString::fromStdString(value));
  return Written(settings);
}

Status QtHistoryStore::RemoveKey(const std::string& section, const std::string& key) {
  QSettings settings = Settings();
  settings.remove(KeyOf(section, key));
  return Written(settings);
}

}  // namespace tarnwick::ui
