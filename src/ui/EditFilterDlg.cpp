#include "ui/EditFilterDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/PathFilter.h"
#include "ui/EditorTexts.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

QGroupBox* Group(unsigned title, QLineEdit* edit, QWidget* parent) {
  auto* group = new QGroupBox(UiString(title), parent);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(edit);
  return group;
}

}  // namespace

CEditFilterDlg::CEditFilterDlg(const std::string& filter, bool recursive, QWidget* parent)
    : QDialog(parent),
      include_(new QLineEdit(this)),
      exclude_(new QLineEdit(this)),
      recursive_(new QCheckBox(UiString(IDS_FILTER_RECURSIVE), this)) {
  setWindowTitle(UiString(IDS_FILTER_CAPTION));
  const FilterLists lists = SplitFilter(filter);
  include_->setText(QString::fromStdString(lists.include));
  exclude_->setText(QString::fromStdString(lists.exclude));
  recursive_->setChecked(recursive);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_OK), QDialogButtonBox::AcceptRole);
  buttons->addButton(UiString(IDS_CANCEL), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Group(IDS_FILTER_INCLUDE, include_, this));
  layout->addWidget(Group(IDS_FILTER_EXCLUDE, exclude_, this));
  layout->addWidget(new QLabel(UiString(IDS_FILTER_SEPARATOR_HINT), this));
  layout->addWidget(recursive_);
  layout->addWidget(buttons);
  setMinimumWidth(360);
}

std::string CEditFilterDlg::Filter() const {
  return ComposeFilter(include_->text().toStdString(), exclude_->text().toStdString());
}

bool CEditFilterDlg::Recursive() const { return recursive_->isChecked(); }

}  // namespace tarnwick::ui
