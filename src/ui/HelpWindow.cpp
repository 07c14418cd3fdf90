#include "ui/HelpWindow.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/ProgramFolder.h"
#include "ui/Icons.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

QString HelpFolder() {
  const QString candidates[] = {
      QString::fromStdString(PathBesideProgram("help").string()),
      QStringLiteral(TARNWICK_INSTALLED_HELP_DIR),
  };
  for (const QString& folder : candidates) {
    if (QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(kHelpStartPage))) return folder;
  }
  return {};
}

CHelpWindow::CHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  setWindowTitle(UiString(IDS_HELP_CAPTION));
  setWindowIcon(ProgramIcon(kIconHelp));
  // The manual left open does not keep the program running once the main window is closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* toolbar = new QToolBar(this);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  contents_ = toolbar->addAction(UiString(IDS_HELP_CONTENTS));
  back_ = toolbar->addAction(UiString(IDS_HELP_BACK));
  forward_ = toolbar->addAction(UiString(IDS_HELP_FORWARD));
  back_->setShortcut(QKeySequence::Back);
  forward_->setShortcut(QKeySequence::Forward);
  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(contents_, &QAction::triggered, this, [this] { ShowTopic(QLatin1String(kHelpStartPage)); });
  connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this,
          [this] { setWindowTitle(UiString(IDS_HELP_CAPTION) + QStringLiteral(" - ") + browser_->documentTitle()); });
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar);
  layout->addWidget(browser_, 1);
  resize(720, 560);
}

bool CHelpWindow::ShowTopic(const QString& topic) {
  const QString folder = HelpFolder();
  const QString path = folder.isEmpty() ? QString() : QDir(folder).filePath(topic);
  if (path.isEmpty() || !QFileInfo::exists(path)) return false;
  browser_->setSource(QUrl::fromLocalFile(path));
  FollowModalDialog();
  show();
  raise();
  activateWindow();
  return true;
}

void CHelpWindow::FollowModalDialog() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == this || modal == modal_) return;
  LeaveModalDialog();
  // A modal dialog blocks every window but its own: as one of its windows the manual can be read
  // and clicked while the dialog stays open.
  const QRect where = geometry();
  setParent(modal, Qt::Window);
  setGeometry(where);
  modal_ = modal;
  modal->installEventFilter(this);
  modalGone_ = connect(modal, &QObject::destroyed, this, [this] { LeaveModalDialog(); });
}

void CHelpWindow::LeaveModalDialog() {
  if (modal_ == nullptr) return;
  modal_->removeEventFilter(this);
  disconnect(modalGone_);
  modal_ = nullptr;
  const bool shown = isVisible();
  const QRect where = geometry();
  setParent(nullptr, Qt::Window);
  setGeometry(where);
  if (shown) show();
}

bool CHelpWindow::eventFilter(QObject* watched, QEvent* event) {
  // Leaves before the closing dialog hides it along with itself; a minimised dialog keeps it.
  if (watched == modal_ && event->type() == QEvent::Hide && !event->spontaneous()) LeaveModalDialog();
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarnwick::ui
