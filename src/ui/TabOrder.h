// The order in which Tab walks a dialog's controls: as they are laid out, not as they were made.
#pragma once

#include <QWidget>
#include <initializer_list>

namespace tarnwick::ui {

// Tab goes from each control to the next one of `controls`.
inline void SetTabOrder(std::initializer_list<QWidget*> controls) {
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

}  // namespace tarnwick::ui
