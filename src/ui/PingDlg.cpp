#include "ui/PingDlg.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "net/PingThread.h"
#include "ui/GuiPost.h"
#include "ui/Icons.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

// The worker's reports, carried onto the window's thread as values.
class PingLinesToDialog : public PingObserver {
 public:
  explicit PingLinesToDialog(CPingDlg* dialog) : dialog_(dialog) {}
  void OnPingLine(int kind, const std::string& text) override {
    PostToGui(dialog_, [kind, text = QString::fromStdString(text)](CPingDlg& d) { d.AddLine(kind, text); });
  }
  void OnPingDone(int) override {
    PostToGui(dialog_, [](CPingDlg& d) { d.OnDone(); });
  }

 private:
  const QPointer<CPingDlg> dialog_;
};

}  // namespace

CPingDlg::CPingDlg(const std::string& host, QWidget* parent)
    : QDialog(parent), lines_(new QListWidget(this)), ok_(new QPushButton(UiString(IDS_OK_AMP), this)) {
  setWindowTitle(UiString(IDS_PING_CAPTION));
  lines_->setIconSize(QSize(16, 16));
  ok_->setEnabled(false);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(ok_, QDialogButtonBox::AcceptRole);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(UiString(IDS_PING_CAPTION), this));
  layout->addWidget(lines_);
  layout->addWidget(buttons);
  resize(460, 240);

  observer_ = std::make_unique<PingLinesToDialog>(this);
  thread_ = std::make_unique<CPingThread>();
  thread_->RequestPing(kRequestCount, host, observer_.get());
}

CPingDlg::~CPingDlg() { thread_.reset(); }

void CPingDlg::AddLine(int kind, const QString& text) {
  auto* row = new QListWidgetItem(PingLineIcon(kind), text, lines_);
  lines_->scrollToItem(row);
}

void CPingDlg::OnDone() {
  finished_ = true;
  ok_->setEnabled(true);
  ok_->setDefault(true);
}

void CPingDlg::reject() {
  if (finished_) QDialog::reject();
}

void CPingDlg::closeEvent(QCloseEvent* event) {
  if (finished_) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

}  // namespace tarnwick::ui
