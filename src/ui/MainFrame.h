// The main window: menu bar, the standard toolbar, the caption bar, the status bar with its message
// and progress panes, and the view inside. Commands are QActions built from the command table; the
// view connects to the ones it handles.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <functional>

class QLabel;
class QMenu;
class QToolBar;

namespace tarnwick::ui {

class CCaptionBar;
class COverallProgressPane;
class CProgressPane;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  // The action of a command of the command table; null for an unknown number.
  QAction* Action(unsigned id) const { return actions_.value(id, nullptr); }
  QToolBar* Toolbar() const { return toolbar_; }
  CCaptionBar* CaptionBar() const { return captionBar_; }
  CProgressPane* ProgressPane() const { return progress_; }
  COverallProgressPane* OverallPane() const { return overall_; }
  QString StatusText() const;
  // The pane that tells who runs the scheduled profiles.
  QString SchedulePaneText() const;

  // Puts the view under the caption bar.
  void SetView(QWidget* view);

  // Asked before the window closes; false keeps it open.
  void SetCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }
  // Asked when the user closes the window: true hides it instead (the program goes on in the
  // tray). Exit() closes for good whatever it says.
  void SetHideOnClose(std::function<bool()> hide) { hideOnClose_ = std::move(hide); }
  // Closes the window for good (File > Exit, the tray's Exit); false when the close guard kept it.
  bool Exit();

  // Brings the window to the front, restored when minimised (a second start asked for it).
  void Raise();

  // Toolbar buttons the user hid, by command number, and the user's keys per command number.
  QList<unsigned> HiddenButtons() const;
  void SetHiddenButtons(const QList<unsigned>& hidden);
  QHash<unsigned, QKeySequence> CustomShortcuts() const;
  void SetShortcut(unsigned id, const QKeySequence& keys);
  void ResetCustomization();

  // Window geometry, toolbar and bars, and customisation, kept in QSettings under "Settings".
  void SaveWindowState() const;
  void RestoreWindowState();

  QMenu* createPopupMenu() override;

 public Q_SLOTS:
  void SetStatusText(const QString& text);
  void SetSchedulePane(const QString& text);
  void ClearStatus();
  void SetProgress(qint64 position, qint64 range);
  void ResetProgress();
  // The run's overall progress beside the current file's; `filesInAll` negative: not known.
  void SetRunProgress(qint64 filesDone, qint64 filesInAll, qint64 bytesWritten);
  void ClearRunProgress();

 Q_SIGNALS:
  // The window closed for good (not hidden into the tray).
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolbar();
  void CreateStatusBar();
  QMenu* BuildToolbarMenu(QWidget* parent);
  void RebuildToolbar();

  QHash<unsigned, QAction*> actions_;
  QToolBar* toolbar_ = nullptr;
  CCaptionBar* captionBar_ = nullptr;
  QWidget* central_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* schedulePane_ = nullptr;
  CProgressPane* progress_ = nullptr;
  COverallProgressPane* overall_ = nullptr;
  QList<unsigned> hiddenButtons_;
  std::function<bool()> closeGuard_;
  std::function<bool()> hideOnClose_;
  bool exiting_ = false;
};

}  // namespace tarnwick::ui
