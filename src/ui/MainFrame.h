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
  QString StatusText() const;

  // Puts the view under the caption bar.
  void SetView(QWidget* view);

  // Asked before the window closes; false keeps it open.
  void SetCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }

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
  void ClearStatus();
  void SetProgress(qint64 position, qint64 range);
  void ResetProgress();

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
  CProgressPane* progress_ = nullptr;
  QList<unsigned> hiddenButtons_;
  std::function<bool()> closeGuard_;
};

}  // namespace tarnwick::ui
