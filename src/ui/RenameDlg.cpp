#include "ui/RenameDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/UiStrings.h"

namespace tarnwick::ui {

CRenameDlg::CRenameDlg(const QString& current, QWidget* parent) : QDialog(parent), edit_(new QLineEdit(current, this)) {
  setWindowTitle(UiString(IDS_RENAME_CAPTION));
  edit_->setMaxLength(kMaxLength);
  edit_->selectAll();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(UiString(IDS_RENAME_PROMPT), this));
  layout->addWidget(edit_);
  layout->addWidget(buttons);
  setMinimumWidth(340);
}

QString CRenameDlg::NewName() const { return edit_->text(); }

}  // namespace tarnwick::ui
