#include "ui/SelectMonthsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QVBoxLayout>

#include "app/StringTable.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

CSelectMonthsDlg::CSelectMonthsDlg(std::int32_t months, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setWindowTitle(UiString(IDS_MONTHS_CAPTION));
  auto* grid = new QGridLayout;
  for (int month = 0; month < 12; ++month) {
    QString name = QString::fromUtf8(LoadString(IDS_MONTH_JANUARY + static_cast<unsigned>(month)));
    if (month == 0) name.prepend(QLatin1Char('&'));
    boxes_[month] = new QCheckBox(name, this);
    boxes_[month]->setChecked((months >> month) & 1);
    // Three columns of four, read down: January to April in the first.
    grid->addWidget(boxes_[month], month % 4, month / 4);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

std::int32_t CSelectMonthsDlg::Months() const {
  std::int32_t mask = 0;
  for (int month = 0; month < 12; ++month) {
    if (boxes_[month]->isChecked()) mask |= 1 << month;
  }
  return mask;
}

void CSelectMonthsDlg::accept() {
  if (Months() == 0) {
    prompts_.ShowMessage(UiString(IDS_MONTHS_INVALID).toStdString());
    return;
  }
  QDialog::accept();
}

}  // namespace tarnwick::ui
