#include "ui/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "app/StringTable.h"

namespace tarnwick::ui {

void CDesktopNotifier::Send(const std::string& summary, const std::string& body) {
  QMetaObject::invokeMethod(
      this, [this, s = QString::fromStdString(summary), b = QString::fromStdString(body)] { SendNow(s, b); },
      Qt::QueuedConnection);
}

void CDesktopNotifier::SendNow(const QString& summary, const QString& body) {
  if (!bus_.isConnected()) {
    LogNotShown(summary.toStdString(), LoadString(IDS_NOTICE_NOT_CONNECTED));
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QStringLiteral("Tarnwick") << 0U << QString() << summary << body << QStringList() << QVariantMap() << -1;
  // The window never waits for the reply; it only looks whether the notice was refused.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, summary](QDBusPendingCallWatcher* finished) {
    const QDBusPendingReply<uint> reply = *finished;
    if (reply.isError()) LogNotShown(summary.toStdString(), reply.error().message().toStdString());
    finished->deleteLater();
  });
}

}  // namespace tarnwick::ui
