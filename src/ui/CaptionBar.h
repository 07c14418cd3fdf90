// The caption bar under the toolbar: the program's icon and "Tarnwick Version 1.1".
#pragma once

#include <QFrame>

class QLabel;

namespace tarnwick::ui {

class CCaptionBar : public QFrame {
  Q_OBJECT
 public:
  explicit CCaptionBar(QWidget* parent = nullptr);
  QString Text() const;

 private:
  QLabel* icon_;
  QLabel* text_;
};

}  // namespace tarnwick::ui
