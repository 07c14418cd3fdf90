// The tray icon: the running job's progress in its tool tip (between runs, how the last one ended),
// and "Open", "Stop Backup" and "Exit" in its menu. With "Keep running in the tray when the window is closed" on,
// closing the window hides it here, and schedules go on running.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tarnwick::ui {

class CMainFrame;
class CTarnwickView;

class CTrayIcon : public QObject {
  Q_OBJECT
 public:
  // Shows the icon when the desktop offers a tray; follows the view's job reports. Both must
  // outlive it.
  CTrayIcon(CMainFrame& frame, CTarnwickView& view, QObject* parent = nullptr);
  ~CTrayIcon() override;

  // Whether the desktop offers a tray: without one, closing the window must end the program.
  static bool Available();
  // True when the window should hide into the tray on close: a tray is there and config.xml says so.
  static bool KeepInTrayOnClose();

  QAction* OpenAction() const { return open_; }
  QAction* StopAction() const { return stop_; }
  QAction* ExitAction() const { return exit_; }
  QMenu* Menu() const { return menu_; }
  QString ToolTip() const;

 private:
  void ShowStatus(const QString& text);
  void ShowProgress(qint64 position, qint64 range);
  void UpdateToolTip();

  CMainFrame& frame_;
  CTarnwickView& view_;
  QMenu* menu_;
  QAction* open_;
  QAction* stop_;
  QAction* exit_;
  QSystemTrayIcon* icon_;
  QString status_;
  QString lastResult_;  // the summary of the last run's report
  int percent_ = -1;
};

}  // namespace tarnwick::ui
