#include "ui/TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "app/StringTable.h"
#include "ui/Icons.h"
#include "ui/JobObserverAdapter.h"
#include "ui/MainFrame.h"
#include "ui/TarnwickView.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

CTrayIcon::CTrayIcon(CMainFrame& frame, CTarnwickView& view, QObject* parent)
    : QObject(parent),
      frame_(frame),
      view_(view),
      menu_(new QMenu),
      open_(menu_->addAction(UiString(IDS_TRAY_OPEN))),
      stop_(menu_->addAction(UiString(IDS_TRAY_STOP))),
      exit_(nullptr),
      icon_(new QSystemTrayIcon(ProgramIcon(kIconTarnwick), this)) {
  menu_->addSeparator();
  exit_ = menu_->addAction(UiString(IDS_TRAY_EXIT));
  connect(open_, &QAction::triggered, &frame_, &CMainFrame::Raise);
  connect(stop_, &QAction::triggered, &view_, &CTarnwickView::OnStop);
  connect(exit_, &QAction::triggered, &frame_, [this] {
    // The window must be there to ask about a running job.
    if (view_.Controller().IsBusy()) frame_.Raise();
    frame_.Exit();
  });
  // Stop is offered only while a job runs (the window's or the service's); the menu is built anew
  // each time it opens.
  connect(menu_, &QMenu::aboutToShow, this, [this] { stop_->setEnabled(view_.CanStop()); });
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) frame_.Raise();
  });
  CJobObserverAdapter& reports = view_.Reports();
  connect(&reports, &CJobObserverAdapter::statusText, this, &CTrayIcon::ShowStatus);
  connect(&reports, &CJobObserverAdapter::statusCleared, this, [this] { ShowStatus({}); });
  connect(&reports, &CJobObserverAdapter::progress, this, &CTrayIcon::ShowProgress);
  connect(&reports, &CJobObserverAdapter::progressReset, this, [this] { ShowProgress(0, 0); });
  connect(&reports, &CJobObserverAdapter::jobReported, this, [this](const RunReport& report) {
    lastResult_ = QString::fromStdString(ReportSummary(report));
    UpdateToolTip();
  });
  icon_->setContextMenu(menu_);
  UpdateToolTip();
  if (Available()) icon_->show();
}

CTrayIcon::~CTrayIcon() { delete menu_; }

bool CTrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool CTrayIcon::KeepInTrayOnClose() {
  if (!Available()) return false;
  ProgramSettings settings;
  return settings.ReadSettings(SettingsFilePath().string()).ok() && settings.keepInTray();
}

QString CTrayIcon::ToolTip() const { return icon_->toolTip(); }

void CTrayIcon::ShowStatus(const QString& text) {
  status_ = text;
  UpdateToolTip();
}

void CTrayIcon::ShowProgress(qint64 position, qint64 range) {
  percent_ = range > 0 ? static_cast<int>(position * 100 / range) : -1;
  UpdateToolTip();
}

void CTrayIcon::UpdateToolTip() {
  const QString name = QString::fromUtf8(LoadString(IDS_AGENT_NAME));
  if (status_.isEmpty()) {
    icon_->setToolTip(lastResult_.isEmpty() ? name : name + QLatin1Char('\n') + lastResult_);
    return;
  }
  const QString progress = percent_ >= 0 ? QString::number(percent_) + QLatin1Char('%') : QString();
  icon_->setToolTip(UiString(IDS_TRAY_BUSY_TIP).arg(status_, progress).trimmed());
}

}  // namespace tarnwick::ui
