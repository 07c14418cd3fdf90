#include "ui/WindowSettings.h"

#include <QSettings>

namespace tarnwick::ui {

bool WindowSettings::Load() {
  QSettings store(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
  store.beginGroup(QStringLiteral("Settings"));
  if (!store.contains(QStringLiteral("Geometry"))) return false;
  geometry = store.value(QStringLiteral("Geometry")).toByteArray();
  state = store.value(QStringLiteral("WindowState")).toByteArray();
  captionBarVisible = store.value(QStringLiteral("CaptionBar"), true).toBool();
  statusBarVisible = store.value(QStringLiteral("StatusBar"), true).toBool();
  hiddenButtons.clear();
  for (const QVariant& id : store.value(QStringLiteral("HiddenButtons")).toList()) hiddenButtons.append(id.toUInt());
  shortcuts.clear();
  store.beginGroup(QStringLiteral("Shortcuts"));
  for (const QString& key : store.childKeys()) {
    shortcuts.insert(key.toUInt(), QKeySequence(store.value(key).toString(), QKeySequence::PortableText));
  }
  return true;
}

void WindowSettings::Save() const {
  QSettings store(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
  store.beginGroup(QStringLiteral("Settings"));
  store.setValue(QStringLiteral("Geometry"), geometry);
  store.setValue(QStringLiteral("WindowState"), state);
  store.setValue(QStringLiteral("CaptionBar"), captionBarVisible);
  store.setValue(QStringLiteral("StatusBar"), statusBarVisible);
  QVariantList hidden;
  for (unsigned id : hiddenButtons) hidden.append(id);
  store.setValue(QStringLiteral("HiddenButtons"), hidden);
  store.remove(QStringLiteral("Shortcuts"));
  store.beginGroup(QStringLiteral("Shortcuts"));
  for (auto it = shortcuts.cbegin(); it != shortcuts.cend(); ++it) {
    store.setValue(QString::number(it.key()), it.value().toString(QKeySequence::PortableText));
  }
}

}  // namespace tarnwick::ui
