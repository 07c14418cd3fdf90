// The window's notifier: each notice is an org.freedesktop.Notifications Notify call on the
// session bus. Notices come from the worker or the tick and are sent from the window's thread.
// Their texts are escaped by RunNotifier like the service's. A notice that could not be shown
// (no session bus, or the call refused, for instance without a notification server) leaves a
// NOTICE row with the reason in the log, which holds the same texts.
#pragma once

#include <QDBusConnection>
#include <QObject>

#include "engine/RunNotifier.h"

namespace tarnwick::ui {

class CDesktopNotifier : public QObject, public RunNotifier {
  Q_OBJECT
 public:
  explicit CDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr)
      : QObject(parent), bus_(std::move(bus)) {}

 protected:
  void Send(const std::string& summary, const std::string& body) override;

 private:
  void SendNow(const QString& summary, const QString& body);

  QDBusConnection bus_;
};

}  // namespace tarnwick::ui
