#include "ui/MainFrame.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/CaptionBar.h"
#include "ui/CommandTable.h"
#include "ui/Icons.h"
#include "ui/ProgressPane.h"
#include "ui/UiStrings.h"
#include "ui/WindowSettings.h"

namespace tarnwick::ui {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainFrame"));
  setWindowTitle(QStringLiteral("Tarnwick"));
  setWindowIcon(ProgramIcon(kIconTarnwick));
  CreateActions();
  CreateMenus();
  CreateToolbar();
  CreateStatusBar();

  central_ = new QWidget(this);
  auto* layout = new QVBoxLayout(central_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  captionBar_ = new CCaptionBar(central_);
  layout->addWidget(captionBar_);
  setCentralWidget(central_);

  QAction* caption = Action(ID_VIEW_CAPTION_BAR);
  caption->setChecked(true);
  connect(caption, &QAction::toggled, captionBar_, &QWidget::setVisible);
  QAction* statusBarAction = Action(ID_VIEW_STATUS_BAR);
  statusBarAction->setChecked(true);
  connect(statusBarAction, &QAction::toggled, statusBar(), &QWidget::setVisible);
  connect(Action(ID_APP_EXIT), &QAction::triggered, this, &CMainFrame::Exit);
  resize(860, 560);
}

void CMainFrame::CreateActions() {
  for (const Command& command : Commands()) {
    auto* action = new QAction(QString::fromUtf8(command.menuText), this);
    const QString prompt = UiString(command.id);
    if (!prompt.isEmpty()) {
      action->setStatusTip(PromptStatusText(prompt));
      action->setToolTip(PromptToolTip(prompt));
    }
    if (*command.shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(command.shortcut)));
    if (*command.icon) action->setIcon(ProgramIcon(command.icon));
    action->setCheckable(command.checkable);
    action->setData(command.id);
    // Keys work wherever the focus is in the window, also while the toolbar is hidden.
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    actions_.insert(command.id, action);
  }
}

QMenu* CMainFrame::BuildToolbarMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  for (unsigned id : ToolbarMenu()) {
    if (id == kSeparator) {
      menu->addSeparator();
    } else {
      menu->addAction(Action(id));
    }
  }
  return menu;
}

void CMainFrame::CreateMenus() {
  for (const MenuSpec& spec : MainMenu()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(spec.title));
    for (unsigned id : spec.items) {
      if (id == kSeparator) {
        menu->addSeparator();
      } else if (id == ID_VIEW_TOOLBARS) {
        QMenu* toolbars = BuildToolbarMenu(menu);
        toolbars->setTitle(QStringLiteral("&Toolbars"));
        menu->addMenu(toolbars);
      } else {
        menu->addAction(Action(id));
      }
    }
  }
}

void CMainFrame::CreateToolbar() {
  toolbar_ = new QToolBar(UiString(IDS_TOOLBAR_STANDARD), this);
  toolbar_->setObjectName(QStringLiteral("StandardToolbar"));
  toolbar_->setIconSize(QSize(16, 16));
  addToolBar(Qt::TopToolBarArea, toolbar_);
  QAction* toggle = Action(ID_VIEW_TOOLBAR);
  toggle->setChecked(true);
  connect(toggle, &QAction::toggled, toolbar_, &QWidget::setVisible);
  // Closing the toolbar from its own handle keeps the menu's check in step.
  connect(toolbar_, &QToolBar::visibilityChanged, toggle, [this, toggle](bool visible) {
    if (!isHidden()) toggle->setChecked(visible);
  });
  RebuildToolbar();
}

void CMainFrame::RebuildToolbar() {
  toolbar_->clear();
  bool separatorPending = false;
  for (unsigned id : ToolbarButtons()) {
    if (id == kSeparator) {
      separatorPending = true;
      continue;
    }
    if (hiddenButtons_.contains(id)) continue;
    // A separator between two groups only, never doubled by hidden buttons.
    if (separatorPending && !toolbar_->actions().isEmpty()) toolbar_->addSeparator();
    separatorPending = false;
    toolbar_->addAction(Action(id));
  }
}

void CMainFrame::CreateStatusBar() {
  message_ = new QLabel(statusBar());
  message_->setObjectName(QStringLiteral("MessagePane"));
  message_->setTextFormat(Qt::PlainText);
  message_->setMinimumWidth(1);
  statusBar()->addWidget(message_, 1);
  overall_ = new COverallProgressPane(statusBar());
  overall_->setObjectName(QStringLiteral("OverallPane"));
  statusBar()->addPermanentWidget(overall_);
  progress_ = new CProgressPane(statusBar());
  progress_->setObjectName(QStringLiteral("ProgressPane"));
  statusBar()->addPermanentWidget(progress_);
  schedulePane_ = new QLabel(statusBar());
  schedulePane_->setObjectName(QStringLiteral("SchedulePane"));
  schedulePane_->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(schedulePane_);
  // Qt tells nothing of the Caps, Num and Scroll Lock states on this platform: those panes are left out.
}

QString CMainFrame::StatusText() const { return message_->text(); }
QString CMainFrame::SchedulePaneText() const { return schedulePane_->text(); }

void CMainFrame::SetView(QWidget* view) { central_->layout()->addWidget(view); }

QMenu* CMainFrame::createPopupMenu() { return BuildToolbarMenu(this); }

void CMainFrame::SetStatusText(const QString& text) { message_->setText(text); }
void CMainFrame::SetSchedulePane(const QString& text) {
  if (schedulePane_->text() != text) schedulePane_->setText(text);
}
void CMainFrame::ClearStatus() { message_->clear(); }
void CMainFrame::SetProgress(qint64 position, qint64 range) { progress_->SetProgress(position, range); }
void CMainFrame::ResetProgress() { progress_->ResetProgress(); }
void CMainFrame::SetRunProgress(qint64 filesDone, qint64 filesInAll, qint64 bytesWritten) {
  overall_->SetRunProgress(filesDone, filesInAll, bytesWritten);
}
void CMainFrame::ClearRunProgress() { overall_->ClearRunProgress(); }

void CMainFrame::Raise() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

QList<unsigned> CMainFrame::HiddenButtons() const { return hiddenButtons_; }

void CMainFrame::SetHiddenButtons(const QList<unsigned>& hidden) {
  hiddenButtons_ = hidden;
  RebuildToolbar();
}

QHash<unsigned, QKeySequence> CMainFrame::CustomShortcuts() const {
  QHash<unsigned, QKeySequence> custom;
  for (const Command& command : Commands()) {
    const QKeySequence keys = Action(command.id)->shortcut();
    if (keys != QKeySequence(QString::fromUtf8(command.shortcut))) custom.insert(command.id, keys);
  }
  return custom;
}

void CMainFrame::SetShortcut(unsigned id, const QKeySequence& keys) {
  if (QAction* action = Action(id)) action->setShortcut(keys);
}

void CMainFrame::ResetCustomization() {
  for (const Command& command : Commands()) SetShortcut(command.id, QKeySequence(QString::fromUtf8(command.shortcut)));
  SetHiddenButtons({});
}

void CMainFrame::SaveWindowState() const {
  WindowSettings settings;
  settings.geometry = saveGeometry();
  settings.state = saveState();
  settings.captionBarVisible = Action(ID_VIEW_CAPTION_BAR)->isChecked();
  settings.statusBarVisible = Action(ID_VIEW_STATUS_BAR)->isChecked();
  settings.hiddenButtons = hiddenButtons_;
  settings.shortcuts = CustomShortcuts();
  settings.Save();
}

void CMainFrame::RestoreWindowState() {
  WindowSettings settings;
  if (!settings.Load()) return;
  restoreGeometry(settings.geometry);
  restoreState(settings.state);
  Action(ID_VIEW_TOOLBAR)->setChecked(!toolbar_->isHidden());
  Action(ID_VIEW_CAPTION_BAR)->setChecked(settings.captionBarVisible);
  captionBar_->setVisible(settings.captionBarVisible);
  Action(ID_VIEW_STATUS_BAR)->setChecked(settings.statusBarVisible);
  statusBar()->setVisible(settings.statusBarVisible);
  SetHiddenButtons(settings.hiddenButtons);
  for (auto it = settings.shortcuts.cbegin(); it != settings.shortcuts.cend(); ++it) SetShortcut(it.key(), it.value());
}

bool CMainFrame::Exit() {
  exiting_ = true;
  const bool closedNow = close();
  exiting_ = false;
  return closedNow;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A job keeps running while the window is hidden; only a close for good asks about it.
  if (!exiting_ && hideOnClose_ && hideOnClose_()) {
    SaveWindowState();
    hide();
    event->ignore();
    return;
  }
  if (closeGuard_ && !closeGuard_()) {
    event->ignore();
    return;
  }
  SaveWindowState();
  event->accept();
  Q_EMIT closed();
}

}  // namespace tarnwick::ui
