#include "ui/CustomizeDlg.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/CommandTable.h"
#include "ui/MainFrame.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

QString PlainText(const QAction* action) { return action->text().remove(QLatin1Char('&')); }

}  // namespace

CCustomizeDlg::CCustomizeDlg(CMainFrame& frame, QWidget* parent)
    : QDialog(parent), frame_(frame), buttons_(new QListWidget) {
  setWindowTitle(UiString(IDS_CUSTOMIZE_CAPTION));
  for (unsigned id : ToolbarButtons()) {
    if (id == kSeparator) continue;
    QAction* action = frame_.Action(id);
    auto* item = new QListWidgetItem(action->icon(), PlainText(action), buttons_);
    item->setData(Qt::UserRole, id);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  }

  auto* keyPage = new QWidget;
  auto* grid = new QGridLayout(keyPage);
  grid->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(UiString(IDS_CUSTOMIZE_COMMAND))), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(UiString(IDS_CUSTOMIZE_SHORTCUT))), 0, 1);
  int row = 1;
  for (const Command& command : Commands()) {
    QAction* action = frame_.Action(command.id);
    auto* label = new QLabel(PlainText(action));
    label->setToolTip(action->statusTip());
    auto* edit = new QKeySequenceEdit;
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    keys_.insert(command.id, edit);
    ++row;
  }
  grid->setRowStretch(row, 1);
  auto* scroll = new QScrollArea;
  scroll->setWidget(keyPage);
  scroll->setWidgetResizable(true);

  auto* tabs = new QTabWidget(this);
  tabs->addTab(buttons_, UiString(IDS_CUSTOMIZE_TOOLBAR_TAB));
  tabs->addTab(scroll, UiString(IDS_CUSTOMIZE_KEYBOARD_TAB));
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  reset_ = box->addButton(UiString(IDS_CUSTOMIZE_RESET), QDialogButtonBox::ResetRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // Shown here only: the frame changes on OK, so Cancel keeps what it had.
  connect(reset_, &QPushButton::clicked, this, [this] { Fill(Source::Defaults); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addWidget(box);
  resize(440, 460);
  Fill(Source::Frame);
}

void CCustomizeDlg::Fill(Source source) {
  const bool defaults = source == Source::Defaults;
  const QList<unsigned> hidden = defaults ? QList<unsigned>() : frame_.HiddenButtons();
  for (int i = 0; i < buttons_->count(); ++i) {
    QListWidgetItem* item = buttons_->item(i);
    item->setCheckState(hidden.contains(item->data(Qt::UserRole).toUInt()) ? Qt::Unchecked : Qt::Checked);
  }
  for (auto it = keys_.cbegin(); it != keys_.cend(); ++it) {
    it.value()->setKeySequence(defaults ? QKeySequence(QString::fromUtf8(FindCommand(it.key())->shortcut))
                                        : frame_.Action(it.key())->shortcut());
  }
}

void CCustomizeDlg::accept() {
  QList<unsigned> hidden;
  for (int i = 0; i < buttons_->count(); ++i) {
    const QListWidgetItem* item = buttons_->item(i);
    if (item->checkState() != Qt::Checked) hidden.append(item->data(Qt::UserRole).toUInt());
  }
  frame_.SetHiddenButtons(hidden);
  for (auto it = keys_.cbegin(); it != keys_.cend(); ++it) frame_.SetShortcut(it.key(), it.value()->keySequence());
  QDialog::accept();
}

}  // namespace tarnwick::ui
