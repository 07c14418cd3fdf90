#include "ui/ItemsInfoDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/UiStrings.h"

namespace tarnwick::ui {

CItemsInfoDlg::CItemsInfoDlg(int folders, int files, QWidget* parent) : QDialog(parent), total_(new QLineEdit(this)) {
  setWindowTitle(UiString(IDS_ITEMS_INFO_CAPTION));
  total_->setReadOnly(true);
  total_->setText(UiString(IDS_ITEMS_INFO_COUNTS).arg(folders).arg(files));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_OK_AMP), QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* form = new QFormLayout;
  form->addRow(UiString(IDS_ITEMS_INFO_TOTAL), total_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(300);
}

}  // namespace tarnwick::ui
