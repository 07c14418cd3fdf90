// "Rename a Profile": one edit field of at most 255 characters, preset with the current name.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tarnwick::ui {

class CRenameDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMaxLength = 255;
  explicit CRenameDlg(const QString& current, QWidget* parent = nullptr);
  QString NewName() const;

 private:
  QLineEdit* edit_;
};

}  // namespace tarnwick::ui
