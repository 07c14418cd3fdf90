// The main view: the tab window with the quick-launch profiles, the scheduled profiles and the
// activity log; their context menus and commands; the backup controller and the scheduler host
// that launches scheduled profiles through it (on its own thread); and the watch on the profile
// folder, so profiles changed by tarnwick-cli show up.
#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/Clock.h"
#include "app/Status.h"
#include "app/UserPrompts.h"
#include "engine/BackupController.h"
#include "engine/RunNotifier.h"
#include "engine/SchedulerHost.h"
#include "engine/SchedulerLock.h"
#include "ui/ActivityLogAdapter.h"
#include "ui/DesktopNotifier.h"
#include "ui/JobObserverAdapter.h"
#include "ui/ProfileEditorLauncher.h"

class QAbstractItemModel;
class QMenu;
class QTabWidget;
class QTreeView;

namespace tarnwick::ui {

class CActivityLogModel;
class CHelpWindow;
class CMainFrame;
class CProfileListModel;
class CTarnwickDoc;
class UiDialogs;

// What the view asks of the outside: messages, file and name dialogs, the profile editor.
struct ViewServices {
  UserPrompts& prompts;
  UiDialogs& dialogs;
  ProfileEditorLauncher& editor;
  const Clock& clock;
  // Off for tests that tick the scheduler by hand (OnTick).
  bool tickScheduler = true;
};

class CTarnwickView : public QWidget {
  Q_OBJECT
 public:
  enum Tab { kQuickTab = 0, kScheduledTab = 1, kLogTab = 2 };
  static constexpr int kReloadDelay = 250;  // ms after the last change of a watched file

  // Connects to the frame's commands and status panes, shows the log and the catalogue as they
  // are, and starts the scheduler: its first tick runs here, so whether the schedules run here is
  // known at once, and the others on its thread.
  CTarnwickView(CTarnwickDoc& doc, CMainFrame& frame, ViewServices services, QWidget* parent = nullptr);
  // Stops a running job and waits for it before anything it reports to goes away.
  ~CTarnwickView() override;

  QTabWidget* Tabs() const { return tabs_; }
  QTreeView* List(Tab tab) const { return lists_[tab]; }
  CProfileListModel* ProfileModel(ProfileList list) const;
  CActivityLogModel* LogModel() const { return logModel_; }
  CBackupController& Controller() { return controller_; }
  // Where the controller's jobs report (their calls come out on the window's thread).
  JobObserver& Observer() { return observer_; }
  // The same reports as signals on the window's thread.
  CJobObserverAdapter& Reports() { return observer_; }
  // The window launches scheduled profiles only while its scheduler holds the scheduler lock; the
  // background service (or another window on the same catalogue) holds it otherwise.
  CSchedulerHost& Scheduler() { return scheduler_; }

  // The context menu of a list with its items enabled as the selection says.
  QMenu* ContextMenu(Tab tab);
  // Enables the commands of the frame and the popups for the current selection, log and job.
  void UpdateCommandStates();

  // Asked before the window closes: a running job is stopped and waited for when the user agrees.
  bool CanClose();

  // Reads the catalogue from disk again and shows it.
  void ReloadCatalogue();
  // Opens the manual at `topic`; says so when the manual is missing.
  void ShowHelpTopic(const QString& topic);
  CHelpWindow* HelpWindow() const { return help_.get(); }

  void OnNewProfile(EditorMode mode);
  // Stop: the window's own job, else the run of the background service the status bar shows.
  void OnStop();
  // Whether Stop has a run to stop: the window's own job or, seen at the last tick, the service's.
  bool CanStop() const;
  // Shows a failed catalogue operation's reason (not a question the user answered No).
  void ShowFailure(const Status& status);
  void OnLaunchQuick();
  // Opens the selected quick profile in the editor, as a quick profile.
  void OnEditQuick();
  // Run Now of the scheduled list: runs the selected scheduled profile at once through the
  // window's controller, as the monitor would launch it, with its schedule left as it is.
  void OnRunScheduledNow();
  void OnScheduledSettings();
  void OnDelete(ProfileList list);
  void OnRename(ProfileList list);
  void OnLogOpen();
  void OnLogSave();
  // Runs `work` on logFileWork_ once the previous work there has ended.
  void RunLogFileWork(std::function<void()> work);
  void OnLogClear();
  void OnOptions();
  void OnHelpWeb();
  void OnAbout();
  void OnCustomize();
  // One scheduler tick at the clock's time on the calling thread, for tests that tick by hand; the
  // window's own ticks run on the scheduler's thread. Its events reach the window at once.
  void OnTick();

 private:
  // Re-posts what the scheduler tells onto the window's thread (at once when told on it).
  class SchedulerEventsAdapter : public SchedulerEvents {
   public:
    explicit SchedulerEventsAdapter(CTarnwickView* view) : view_(view) {}
    void OnSchedulerState(const SchedulerState& state) override;
    void OnScheduleChanged(const ScheduleChange& change) override;

   private:
    template <typename F>
    void Deliver(F&& f);
    QPointer<CTarnwickView> view_;
  };

  void ShowSchedulerState(const SchedulerState& state);
  void ShowScheduleChange(const ScheduleChange& change);
  // Runs the selected profile of `list` now through the window's controller.
  void RunSelectedNow(ProfileList list);
  // What the holder of the scheduler lock answered to the window's stop request.
  void ShowStopAnswer(const Status& asked, const StopAnswer& answer);
  QTreeView* MakeList(QAbstractItemModel* model, const std::vector<int>& widths);
  QMenu* MakePopup(Tab tab);
  void ConnectCommands();
  void ConnectJobReports();
  std::vector<std::size_t> SelectedRows(ProfileList list) const;
  std::string SelectedName(ProfileList list) const;
  void OpenEditor(EditorMode mode, const std::string& name);
  void RefreshLists();
  void WatchProfileFolders();
  // The watched files and folders' times, in the order WatchProfileFolders adds them.
  static std::vector<std::filesystem::file_time_type> WatchedStamps();
  // A watched file changed: the catalogue is read again unless the change is one the window knows
  // of already (a run of its scheduler, a reload of its own).
  void OnWatchedChange();

  CTarnwickDoc& doc_;
  CMainFrame& frame_;
  ViewServices services_;
  CJobObserverAdapter observer_;
  CDesktopNotifier notifier_;
  CRunWatch watch_;  // between the controller and observer_: tells failures to notifier_
  CActivityLogModel* logModel_;
  CActivityLogAdapter logAdapter_;
  CBackupController controller_;
  SchedulerEventsAdapter schedulerEvents_{this};
  // The window never says what it runs here, but answers a stop request while it holds the lock.
  CSchedulerHost scheduler_;
  std::string serviceRunning_;  // the profile the lock's holder said it runs, as last told
  std::thread stopAsker_;       // asks the service to stop, off the window's thread
  std::thread logFileWork_;     // reads or writes a log file chosen by the user, off the window's thread
  QTabWidget* tabs_;
  CProfileListModel* quickModel_;
  CProfileListModel* scheduledModel_;
  QTreeView* lists_[3];
  QMenu* popups_[3];
  QHash<unsigned, QAction*> popupActions_;
  QFileSystemWatcher watcher_;
  std::vector<std::filesystem::file_time_type> knownStamps_;  // WatchedStamps() after the last change known
  QTimer reloadTimer_;
  std::unique_ptr<CHelpWindow> help_;
};

}  // namespace tarnwick::ui
