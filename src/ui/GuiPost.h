// Reports from worker threads reach a window only through here: the call is queued onto the GUI
// thread and carries values, and it is dropped when the window has gone in the meantime.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <utility>

namespace tarnwick::ui {

// Calls `f(*target)` on the GUI thread, later, unless `target` has been destroyed by then. May be
// called from any thread; `target` must have been made on the GUI thread.
template <typename T, typename F>
void PostToGui(const QPointer<T>& target, F&& f) {
  // Posted to the application object, which outlives every window: an event posted to the window
  // itself could race with its destruction.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [target, f = std::forward<F>(f)]() mutable {
        if (T* alive = target.data()) f(*alive);
      },
      Qt::QueuedConnection);
}

}  // namespace tarnwick::ui
