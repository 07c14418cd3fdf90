// The keys of a profile list while it has the focus: Enter, Delete and F2 (without modifiers; the
// keypad's Enter too) call the list's handlers, as its commands would.
#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;

namespace tarnwick::ui {

class CListKeys : public QObject {
  Q_OBJECT
 public:
  struct Handlers {
    std::function<void()> enter;   // run (quick) or open (scheduled)
    std::function<void()> remove;  // delete, with the catalogue's question
    std::function<void()> rename;
  };

  // Watches `list`'s keys; owned by `list`.
  CListKeys(QAbstractItemView* list, Handlers handlers);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Handlers handlers_;
};

}  // namespace tarnwick::ui
