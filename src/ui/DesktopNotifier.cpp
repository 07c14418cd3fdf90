#include "ui/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

namespace tarnwick::ui {

void CDesktopNotifier::Send(const std::string& summary, const std::string& body) {
  QMetaObject::invokeMethod(
      this, [this, s = QString::fromStdString(summary), b = QString::fromStdString(body)] { SendNow(s, b); },
      Qt::QueuedConnection);
}

void CDesktopNotifier::SendNow(const QString& summary, const QString& body) {
  if (!bus_.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QStringLiteral("Tarnwick") << 0U << QString() << summary << body << QStringList() << QVariantMap() << -1;
  // The notice's id is of no use to the window: it never waits for the reply.
  bus_.asyncCall(call);
}

}  // namespace tarnwick::ui
