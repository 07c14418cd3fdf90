// "Edit Filter": the include and exclude masks of one or more folder items and their recursion.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;

namespace tarnwick::ui {

class CEditFilterDlg : public QDialog {
  Q_OBJECT
 public:
  // Starts with the masks of `filter` ("+[include]-[exclude]") and the recursion flag.
  CEditFilterDlg(const std::string& filter, bool recursive, QWidget* parent = nullptr);

  // The filter the fields compose.
  std::string Filter() const;
  bool Recursive() const;

  QLineEdit* IncludeEdit() const { return include_; }
  QLineEdit* ExcludeEdit() const { return exclude_; }
  QCheckBox* RecursiveBox() const { return recursive_; }

 private:
  QLineEdit* include_;
  QLineEdit* exclude_;
  QCheckBox* recursive_;
};

}  // namespace tarnwick::ui
