// "Files/Folders Information": how many folders and files are selected.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tarnwick::ui {

class CItemsInfoDlg : public QDialog {
  Q_OBJECT
 public:
  CItemsInfoDlg(int folders, int files, QWidget* parent = nullptr);
  QLineEdit* TotalField() const { return total_; }

 private:
  QLineEdit* total_;
};

}  // namespace tarnwick::ui
