#include "ui/ListKeys.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace tarnwick::ui {

CListKeys::CListKeys(QAbstractItemView* list, Handlers handlers) : QObject(list), handlers_(std::move(handlers)) {
  list->installEventFilter(this);
}

bool CListKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  // Ctrl+Delete and the like stay the list's own (or the user's shortcuts).
  if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  const std::function<void()>* handler = nullptr;
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: handler = &handlers_.enter; break;
    case Qt::Key_Delete: handler = &handlers_.remove; break;
    case Qt::Key_F2: handler = &handlers_.rename; break;
    default: return false;
  }
  if (*handler) (*handler)();
  return true;
}

}  // namespace tarnwick::ui
