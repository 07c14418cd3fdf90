// "Select Months": the months a monthly schedule runs in.
#pragma once

#include <QDialog>
#include <cstdint>

#include "app/UserPrompts.h"

class QCheckBox;

namespace tarnwick::ui {

class CSelectMonthsDlg : public QDialog {
  Q_OBJECT
 public:
  // `months`: bit 0 January ... bit 11 December.
  CSelectMonthsDlg(std::int32_t months, UserPrompts& prompts, QWidget* parent = nullptr);

  // The mask of the checked boxes.
  std::int32_t Months() const;
  QCheckBox* MonthBox(int month) const { return boxes_[month]; }  // 0 January ... 11 December

  // Refuses a mask without any month (and stays open).
  void accept() override;

 private:
  UserPrompts& prompts_;
  QCheckBox* boxes_[12];
};

}  // namespace tarnwick::ui
