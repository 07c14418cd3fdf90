#include "ui/TarnwickView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QThread>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <unistd.h>

#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "engine/FtpJobConnection.h"
#include "ui/AboutDlg.h"
#include "ui/ActivityLogModel.h"
#include "ui/CommandTable.h"
#include "ui/CustomizeDlg.h"
#include "ui/GuiPost.h"
#include "ui/HelpWindow.h"
#include "ui/HintTreeView.h"
#include "ui/Icons.h"
#include "ui/ListKeys.h"
#include "ui/MainFrame.h"
#include "ui/OptionsDlg.h"
#include "ui/ProfileListModel.h"
#include "ui/ScheduleCloseQuestion.h"
#include "ui/TarnwickDoc.h"
#include "ui/UiDialogs.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr const char* kCatalogueFile = "profiles.ini";

// The messages of work off the window's thread, shown on it through `inner` unless the window has
// gone by then. Questions are not asked: the window asked before it started the work.
class PostedMessages : public UserPrompts {
 public:
  PostedMessages(QPointer<CTarnwickView> window, UserPrompts& inner) : window_(std::move(window)), inner_(inner) {}
  void ShowMessage(const std::string& text, const std::string& title) override {
    PostToGui(window_, [&inner = inner_, text, title](CTarnwickView&) { inner.ShowMessage(text, title); });
  }
  Answer AskYesNo(const std::string&, bool) override { return Answer::Yes; }

 private:
  QPointer<CTarnwickView> window_;
  UserPrompts& inner_;
};

std::span<const PopupItem> PopupItems(CTarnwickView::Tab tab) {
  switch (tab) {
    case CTarnwickView::kQuickTab: return QuickListPopup();
    case CTarnwickView::kScheduledTab: return ScheduledListPopup();
    default: return LogListPopup();
  }
}

}  // namespace

CTarnwickView::CTarnwickView(CTarnwickDoc& doc, CMainFrame& frame, ViewServices services, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      frame_(frame),
      services_(services),
      watch_(observer_, doc.Log(), &notifier_),
      logModel_(new CActivityLogModel(this)),
      logAdapter_(doc.Log(), [this](std::vector<LogChange>&& changes) { logModel_->Apply(std::move(changes)); }),
      controller_(doc.Log(), watch_, services.prompts, services.clock, doc.Catalogue()),
      scheduler_(controller_, doc.Log(), watch_, services.clock, schedulerEvents_, CSchedulerLock::DefaultPath(),
                 FormatString(IDS_SCHEDULER_HOLDER_WINDOW, static_cast<long>(::getpid()))),
      tabs_(new QTabWidget(this)),
      quickModel_(new CProfileListModel(ProfileList::Quick, this)),
      scheduledModel_(new CProfileListModel(ProfileList::Scheduled, this)) {
  setObjectName(QStringLiteral("TarnwickView"));
  tabs_->setObjectName(QStringLiteral("Tabs"));
  lists_[kQuickTab] = MakeList(
      quickModel_, {CProfileListModel::kNameWidth, CProfileListModel::kTimeWidth, CProfileListModel::kTimeWidth});
  lists_[kScheduledTab] = MakeList(scheduledModel_, {CProfileListModel::kNameWidth, CProfileListModel::kTimeWidth,
                                                     CProfileListModel::kTimeWidth, CProfileListModel::kTimeWidth});
  lists_[kLogTab] =
      MakeList(logModel_, {std::begin(CActivityLogModel::kColumnWidths), std::end(CActivityLogModel::kColumnWidths)});
  // The profile lists made empty on a first start say how to begin.
  HintAtCommand(*static_cast<CHintTreeView*>(lists_[kQuickTab]), IDS_EMPTY_QUICK_HINT, ID_BACKUP_QUICK,
                *frame_.Action(ID_BACKUP_QUICK));
  HintAtCommand(*static_cast<CHintTreeView*>(lists_[kScheduledTab]), IDS_EMPTY_SCHEDULED_HINT, ID_BACKUP_SCHEDULED,
                *frame_.Action(ID_BACKUP_SCHEDULED));
  tabs_->addTab(lists_[kQuickTab], ProgramIcon(kIconQuickProfile), QString::fromUtf8(ListTitle(ProfileList::Quick)));
  tabs_->addTab(lists_[kScheduledTab], ProgramIcon(kIconScheduledProfile),
                QString::fromUtf8(ListTitle(ProfileList::Scheduled)));
  tabs_->addTab(lists_[kLogTab], ProgramIcon(kIconLog), UiString(IDS_TAB_ACTIVITY_LOG));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tabs_);

  for (Tab tab : {kQuickTab, kScheduledTab, kLogTab}) popups_[tab] = MakePopup(tab);
  connect(lists_[kQuickTab], &QTreeView::doubleClicked, this, [this] { OnLaunchQuick(); });
  connect(lists_[kScheduledTab], &QTreeView::doubleClicked, this, [this] { OnScheduledSettings(); });
  new CListKeys(lists_[kQuickTab], {[this] { OnLaunchQuick(); }, [this] { OnDelete(ProfileList::Quick); },
                                    [this] { OnRename(ProfileList::Quick); }});
  new CListKeys(lists_[kScheduledTab], {[this] { OnScheduledSettings(); }, [this] { OnDelete(ProfileList::Scheduled); },
                                        [this] { OnRename(ProfileList::Scheduled); }});
  for (QAbstractItemModel* model :
       {static_cast<QAbstractItemModel*>(quickModel_), static_cast<QAbstractItemModel*>(scheduledModel_),
        static_cast<QAbstractItemModel*>(logModel_)}) {
    connect(model, &QAbstractItemModel::modelReset, this, &CTarnwickView::UpdateCommandStates);
    connect(model, &QAbstractItemModel::rowsInserted, this, &CTarnwickView::UpdateCommandStates);
  }
  ConnectCommands();
  ConnectJobReports();
  connect(&doc_, &CTarnwickDoc::catalogueChanged, this, &CTarnwickView::RefreshLists);
  // A profile left out of the lists is named in the status bar as well as in the log.
  connect(&doc_, &CTarnwickDoc::catalogueUnreadable, &frame_, &CMainFrame::SetStatusText);

  logAdapter_.Attach();
  RefreshLists();
  if (!doc_.LoadProblem().isEmpty()) frame_.SetStatusText(doc_.LoadProblem());
  reloadTimer_.setSingleShot(true);
  reloadTimer_.setInterval(kReloadDelay);
  connect(&reloadTimer_, &QTimer::timeout, this, &CTarnwickView::OnWatchedChange);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &reloadTimer_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &reloadTimer_, qOverload<>(&QTimer::start));
  WatchProfileFolders();
  // `tarnwick-cli stop` while the window runs the schedules: its run ends as by its own Stop.
  scheduler_.AnswerStopRequests([this]() -> std::optional<std::string> {
    std::string running = controller_.RunningProfile();
    if (!controller_.Stop()) return std::nullopt;
    return running;
  });
  // Whether the schedules run here is known from the start, not one tick later.
  OnTick();
  if (services.tickScheduler) scheduler_.StartTicking();
  frame_.SetView(this);
  frame_.SetCloseGuard([this] { return CanClose(); });
  UpdateCommandStates();
}

CTarnwickView::~CTarnwickView() {
  if (logFileWork_.joinable()) logFileWork_.join();
  if (stopAsker_.joinable()) stopAsker_.join();  // it waits for an answer a few seconds at most
  scheduler_.StopTicking();
  frame_.SetCloseGuard({});
  controller_.Shutdown();
}

QTreeView* CTarnwickView::MakeList(QAbstractItemModel* model, const std::vector<int>& widths) {
  auto* list = new CHintTreeView(this);
  list->setModel(model);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  for (std::size_t i = 0; i < widths.size(); ++i) list->header()->resizeSection(static_cast<int>(i), widths[i]);
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CTarnwickView::UpdateCommandStates);
  connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
    const auto tab = static_cast<Tab>(tabs_->indexOf(list));
    ContextMenu(tab)->popup(list->viewport()->mapToGlobal(at));
  });
  return list;
}

QMenu* CTarnwickView::MakePopup(Tab tab) {
  auto* menu = new QMenu(this);
  for (const PopupItem& item : PopupItems(tab)) {
    if (item.id == kSeparator) {
      menu->addSeparator();
      continue;
    }
    QAction* command = frame_.Action(item.id);
    QAction* action = menu->addAction(command->icon(), QString::fromUtf8(item.text));
    action->setStatusTip(command->statusTip());
    connect(action, &QAction::triggered, command, &QAction::trigger);
    popupActions_.insert(item.id, action);
  }
  return menu;
}

CProfileListModel* CTarnwickView::ProfileModel(ProfileList list) const {
  return list == ProfileList::Quick ? quickModel_ : scheduledModel_;
}

QMenu* CTarnwickView::ContextMenu(Tab tab) {
  UpdateCommandStates();
  return popups_[tab];
}

void CTarnwickView::ConnectCommands() {
  const auto on = [this](unsigned id, auto handler) { connect(frame_.Action(id), &QAction::triggered, this, handler); };
  on(ID_BACKUP_QUICK, [this] { OnNewProfile(EditorMode::Quick); });
  on(ID_BACKUP_SCHEDULED, [this] { OnNewProfile(EditorMode::Scheduled); });
  on(ID_BACKUP_STOP, [this] { OnStop(); });
  on(ID_QUICK_LAUNCH, [this] { OnLaunchQuick(); });
  on(ID_QUICK_EDIT, [this] { OnEditQuick(); });
  on(ID_QUICK_DELETE, [this] { OnDelete(ProfileList::Quick); });
  on(ID_QUICK_RENAME, [this] { OnRename(ProfileList::Quick); });
  on(ID_SCHEDULED_SETTINGS, [this] { OnScheduledSettings(); });
  on(ID_SCHEDULED_RUN_NOW, [this] { OnRunScheduledNow(); });
  on(ID_SCHEDULED_DELETE, [this] { OnDelete(ProfileList::Scheduled); });
  on(ID_SCHEDULED_RENAME, [this] { OnRename(ProfileList::Scheduled); });
  on(ID_LOG_OPEN, [this] { OnLogOpen(); });
  on(ID_LOG_SAVE, [this] { OnLogSave(); });
  on(ID_LOG_CLEAR, [this] { OnLogClear(); });
  on(ID_TOOLS_OPTIONS, [this] { OnOptions(); });
  on(ID_HELP_MANUAL, [this] { ShowHelpTopic(QLatin1String(kHelpStartPage)); });
  on(ID_HELP_WEB, [this] { OnHelpWeb(); });
  on(ID_APP_ABOUT, [this] { OnAbout(); });
  on(ID_VIEW_CUSTOMIZE, [this] { OnCustomize(); });
}

void CTarnwickView::ConnectJobReports() {
  connect(&observer_, &CJobObserverAdapter::statusText, &frame_, &CMainFrame::SetStatusText);
  connect(&observer_, &CJobObserverAdapter::statusCleared, &frame_, &CMainFrame::ClearStatus);
  connect(&observer_, &CJobObserverAdapter::progress, &frame_, &CMainFrame::SetProgress);
  connect(&observer_, &CJobObserverAdapter::progressReset, &frame_, &CMainFrame::ResetProgress);
  connect(&observer_, &CJobObserverAdapter::runProgress, &frame_, &CMainFrame::SetRunProgress);
  // The end of a run: its result takes the place of the overall progress.
  connect(&observer_, &CJobObserverAdapter::jobReported, this, [this](const RunReport& report) {
    frame_.ClearRunProgress();
    frame_.SetStatusText(QString::fromStdString(ReportSummary(report)));
  });
  // A run's new times come with its launch (the scheduler's events, or the reload of a run started
  // here), not from reading every profile again at its end.
  connect(&observer_, &CJobObserverAdapter::jobEnded, this, &CTarnwickView::UpdateCommandStates);
  connect(&observer_, &CJobObserverAdapter::launchFailed, this, [this](const QString& name, const QString& reason) {
    // The reason is in the log too; a message box from the tick would wait for someone to click it.
    frame_.SetStatusText(name + QStringLiteral(": ") + reason);
  });
}

void CTarnwickView::UpdateCommandStates() {
  const std::size_t quick = SelectedRows(ProfileList::Quick).size();
  const std::size_t scheduled = SelectedRows(ProfileList::Scheduled).size();
  const bool logHasRows = logModel_->rowCount() > 0;
  const std::pair<unsigned, bool> states[] = {
      {ID_BACKUP_STOP, CanStop()},
      {ID_QUICK_LAUNCH, quick == 1},
      {ID_QUICK_EDIT, quick == 1},
      {ID_QUICK_DELETE, quick >= 1},
      {ID_QUICK_RENAME, quick == 1},
      {ID_SCHEDULED_SETTINGS, scheduled == 1},
      {ID_SCHEDULED_RUN_NOW, scheduled == 1},
      {ID_SCHEDULED_DELETE, scheduled >= 1},
      {ID_SCHEDULED_RENAME, scheduled == 1},
      {ID_LOG_SAVE, logHasRows},
      {ID_LOG_CLEAR, logHasRows},
  };
  for (const auto& [id, enabled] : states) {
    frame_.Action(id)->setEnabled(enabled);
    if (QAction* popup = popupActions_.value(id, nullptr)) popup->setEnabled(enabled);
  }
}

std::vector<std::size_t> CTarnwickView::SelectedRows(ProfileList list) const {
  QTreeView* view = lists_[list == ProfileList::Quick ? kQuickTab : kScheduledTab];
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : view->selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(index.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string CTarnwickView::SelectedName(ProfileList list) const {
  const std::vector<std::size_t> rows = SelectedRows(list);
  if (rows.size() != 1) return {};
  return ProfileModel(list)->Row(static_cast<int>(rows.front())).name;
}

void CTarnwickView::RefreshLists() {
  for (ProfileList list : {ProfileList::Quick, ProfileList::Scheduled}) {
    QTreeView* view = lists_[list == ProfileList::Quick ? kQuickTab : kScheduledTab];
    CProfileListModel* model = ProfileModel(list);
    // A reload that changed the rows keeps the selection of the profiles that are still there.
    QStringList selected;
    for (std::size_t row : SelectedRows(list))
      selected << QString::fromStdString(model->Row(static_cast<int>(row)).name);
    if (!model->SetRows(doc_.Catalogue().Rows(list)) || selected.isEmpty()) continue;
    QItemSelection selection;
    for (int row = 0; row < model->rowCount(); ++row) {
      if (selected.contains(QString::fromStdString(model->Row(row).name))) {
        selection.select(model->index(row, 0), model->index(row, model->columnCount() - 1));
      }
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }
  UpdateCommandStates();
}

void CTarnwickView::ReloadCatalogue() {
  doc_.OnNewDocument();
  // Taken after the load, which itself writes "profiles.ini" when it meets a new profile: that
  // write is no reason to read everything again.
  knownStamps_ = WatchedStamps();
  WatchProfileFolders();
}

std::vector<std::filesystem::file_time_type> CTarnwickView::WatchedStamps() {
  // Plain times: a change in the same step of the file system's clock as one the window knows of
  // is missed by the lists until the next change, which is all it costs here; the scheduler keeps
  // its own catalogue and reads it with SettledStamp.
  // Not the data folder's own time: the scheduler's lock and socket and every saved log change
  // it, and reading 1,000 profiles again for them stalled the window.
  return {ModificationStamp(ProfileFolder()), ModificationStamp(PathBesideProgram(kCatalogueFile))};
}

void CTarnwickView::OnWatchedChange() {
  if (WatchedStamps() == knownStamps_) {
    WatchProfileFolders();  // a file replaced by a rename dropped out of the watch
    return;
  }
  ReloadCatalogue();
}

void CTarnwickView::WatchProfileFolders() {
  // Files replaced by a rename drop out of the watch, and the profile folder may be made later:
  // every reload adds what is missing.
  const QString paths[] = {
      QString::fromStdString(ProgramFolder().string()),
      QString::fromStdString(ProfileFolder()),
      QString::fromStdString(PathBesideProgram(kCatalogueFile).string()),
  };
  for (const QString& path : paths) {
    if (QFileInfo::exists(path) && !watcher_.files().contains(path) && !watcher_.directories().contains(path)) {
      watcher_.addPath(path);
    }
  }
}

void CTarnwickView::OnTick() { scheduler_.Tick(services_.clock.Now()); }

template <typename F>
void CTarnwickView::SchedulerEventsAdapter::Deliver(F&& f) {
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
    if (CTarnwickView* view = view_.data()) f(*view);
    return;
  }
  PostToGui(view_, std::forward<F>(f));
}

void CTarnwickView::SchedulerEventsAdapter::OnSchedulerState(const SchedulerState& state) {
  Deliver([state](CTarnwickView& view) { view.ShowSchedulerState(state); });
}

void CTarnwickView::SchedulerEventsAdapter::OnScheduleChanged(const ScheduleChange& change) {
  Deliver([change](CTarnwickView& view) { view.ShowScheduleChange(change); });
}

void CTarnwickView::ShowSchedulerState(const SchedulerState& state) {
  serviceRunning_.clear();
  if (state.here) {
    frame_.SetSchedulePane(UiString(IDS_SCHEDULES_PANE_HERE));
  } else {
    // A holder that has not written the lock file yet, or a lock file that cannot be made, leaves
    // the question mark.
    const QString who = state.holder.empty() ? QStringLiteral("?") : QString::fromStdString(state.holder);
    serviceRunning_ = state.running;
    frame_.SetSchedulePane(
        serviceRunning_.empty()
            ? UiString(IDS_SCHEDULES_PANE_ELSEWHERE).arg(who)
            : UiString(IDS_SCHEDULES_PANE_ELSEWHERE_RUNNING).arg(who, QString::fromStdString(serviceRunning_)));
  }
  UpdateCommandStates();
}

void CTarnwickView::ShowScheduleChange(const ScheduleChange& change) {
  // The row of that profile only: the other rows and the selection stay as they are.
  scheduledModel_->UpdateRow(change.row);
  // What the scheduler wrote for it is shown now: the watch need not read every profile again.
  knownStamps_ = WatchedStamps();
  UpdateCommandStates();  // the launch made a job that Stop can end
}

bool CTarnwickView::CanStop() const { return controller_.IsBusy() || !serviceRunning_.empty(); }

void CTarnwickView::OpenEditor(EditorMode mode, const std::string& name) {
  ProfileEditorContext context{doc_.Catalogue(), controller_, services_.prompts, services_.clock,
                               [this](const std::string& topic) { ShowHelpTopic(QString::fromStdString(topic)); }};
  services_.editor.OpenEditor(window(), ProfileEditorRequest{mode, name}, context);
  ReloadCatalogue();
  UpdateCommandStates();
}

void CTarnwickView::OnNewProfile(EditorMode mode) { OpenEditor(mode, {}); }

void CTarnwickView::OnScheduledSettings() {
  const std::string name = SelectedName(ProfileList::Scheduled);
  if (!name.empty()) OpenEditor(EditorMode::Scheduled, name);
}

void CTarnwickView::OnEditQuick() {
  const std::string name = SelectedName(ProfileList::Quick);
  if (!name.empty()) OpenEditor(EditorMode::Quick, name);
}

void CTarnwickView::OnLaunchQuick() { RunSelectedNow(ProfileList::Quick); }

void CTarnwickView::OnRunScheduledNow() {
  // Launched as the monitor launches it: its task rows, the last-run stamp in "profiles.ini" and
  // the controller, one job at a time. Its file is not rewritten, so its next run stays where its
  // schedule put it: running it early does not skip its next scheduled run.
  RunSelectedNow(ProfileList::Scheduled);
}

void CTarnwickView::RunSelectedNow(ProfileList list) {
  const std::string name = SelectedName(list);
  if (name.empty()) return;
  Profile profile;
  if (const Status read = ReadProfile(ProfileFileOf(name), profile, services_.clock.Now()); !read.ok()) {
    services_.prompts.ShowMessage(read.ToString());
    return;
  }
  // The list shows the file's name: the run is logged and stamped under it.
  profile.name = name;
  if (!UnlockProfileKeys(profile, services_.prompts)) return;
  controller_.RunNow(profile);
  ReloadCatalogue();
  UpdateCommandStates();
}

void CTarnwickView::ShowFailure(const Status& status) {
  // A "No" to the catalogue's own question is no failure to report.
  if (!status.ok() && status.code() != StatusCode::Stopped) services_.prompts.ShowMessage(status.ToString());
}

void CTarnwickView::OnStop() {
  if (!controller_.Stop() && !serviceRunning_.empty()) {
    // Nothing of the window's own runs: the run the status bar shows is the background service's.
    // It is asked on its socket, off this thread, so a service that does not answer freezes nothing.
    if (stopAsker_.joinable()) stopAsker_.join();
    stopAsker_ = std::thread([view = QPointer<CTarnwickView>(this), lockFile = CSchedulerLock::DefaultPath()] {
      StopAnswer answer;
      const Status asked = CSchedulerLock::RequestStop(lockFile, answer);
      PostToGui(view, [asked, answer](CTarnwickView& alive) { alive.ShowStopAnswer(asked, answer); });
    });
    serviceRunning_.clear();  // until the scheduler's next tick tells what the service runs
    scheduler_.TellStateAgain();
  }
  UpdateCommandStates();
}

void CTarnwickView::ShowStopAnswer(const Status& asked, const StopAnswer& answer) {
  if (asked.ok()) {
    frame_.SetStatusText(QString::fromStdString(CSchedulerLock::StopAnsweredText(answer)));
  } else {
    services_.prompts.ShowMessage(asked.ToString());
  }
}

void CTarnwickView::OnDelete(ProfileList list) {
  const std::vector<std::size_t> rows = SelectedRows(list);
  if (rows.empty()) return;
  ShowFailure(doc_.Catalogue().DeleteSelectedProfiles(list, rows));
  doc_.CatalogueChanged();
}

void CTarnwickView::OnRename(ProfileList list) {
  const std::vector<std::size_t> rows = SelectedRows(list);
  if (rows.size() != 1) return;
  const Status renamed = doc_.Catalogue().RenameSelectedProfile(
      list, rows, [this](const std::string& current) { return services_.dialogs.AskProfileName(window(), current); });
  if (!renamed.ok()) {
    ShowFailure(renamed);
    return;
  }
  doc_.CatalogueChanged();
  // The renamed profile stays where it was, and stays selected.
  QTreeView* view = lists_[list == ProfileList::Quick ? kQuickTab : kScheduledTab];
  const int row = static_cast<int>(rows.front());
  view->selectionModel()->select(
      QItemSelection(view->model()->index(row, 0), view->model()->index(row, view->model()->columnCount() - 1)),
      QItemSelectionModel::ClearAndSelect);
}

void CTarnwickView::OnLogOpen() {
  logModel_->Flush();
  if (logModel_->rowCount() > 0 && services_.prompts.AskYesNo(LoadString(IDS_LOG_NOT_SAVED_CONTINUE),
                                                              /*defaultNo=*/true) != UserPrompts::Answer::Yes) {
    return;
  }
  const std::optional<std::string> path = services_.dialogs.ChooseLogToOpen(window());
  if (!path) return;
  // A saved log may hold a million rows: it is read off the window's thread, and its rows reach
  // the list through the log's listeners like any others.
  RunLogFileWork([this, self = QPointer<CTarnwickView>(this), file = *path] {
    std::vector<LogRow> rows;
    if (const IoResult read = ReadLogFile(file, rows); !read.ok()) {
      PostToGui(self, [text = LogOpenFailedText(file, read)](CTarnwickView& view) {
        view.services_.prompts.ShowMessage(text);
      });
      return;
    }
    doc_.Log().InsertLoadedRows(std::move(rows));
  });
}

void CTarnwickView::OnLogSave() {
  const std::optional<std::string> name = services_.dialogs.ChooseLogToSave(window());
  if (!name) return;
  // Writing a big log takes a while (the file is synced before it replaces the old one); the
  // outcome is told on the window's thread.
  RunLogFileWork([this, self = QPointer<CTarnwickView>(this), file = *name] {
    PostedMessages messages(self, services_.prompts);
    doc_.Log().Save(file, messages);
  });
}

void CTarnwickView::RunLogFileWork(std::function<void()> work) {
  // One file at a time, in the order asked: a second command waits for the first.
  if (logFileWork_.joinable()) logFileWork_.join();
  logFileWork_ = std::thread(std::move(work));
}

void CTarnwickView::OnLogClear() { doc_.Log().Clear(); }

void CTarnwickView::OnOptions() {
  COptionsDlg dialog(services_.prompts, window());
  if (dialog.exec() == QDialog::Accepted) scheduler_.ReadSettingsAgain();
}

void CTarnwickView::ShowHelpTopic(const QString& topic) {
  if (!help_) help_ = std::make_unique<CHelpWindow>();
  if (!help_->ShowTopic(topic)) {
    const QString folder = HelpFolder();
    const QString missing = folder.isEmpty()
                                ? QString::fromStdString(PathBesideProgram("help").string()) + QLatin1Char('/') + topic
                                : folder + QLatin1Char('/') + topic;
    services_.prompts.ShowMessage(UiString(IDS_HELP_MISSING).arg(missing).toStdString());
  }
}

void CTarnwickView::OnHelpWeb() {
  // Without a configured address the program's web page is its own manual.
  const QString address = WebAddress();
  if (address.isEmpty()) {
    ShowHelpTopic(QLatin1String(kHelpStartPage));
  } else {
    QDesktopServices::openUrl(QUrl(address));
  }
}

void CTarnwickView::OnAbout() {
  CAboutDlg dialog([this] { OnHelpWeb(); }, window());
  dialog.exec();
}

void CTarnwickView::OnCustomize() {
  CCustomizeDlg dialog(frame_, window());
  dialog.exec();
}

bool CTarnwickView::CanClose() {
  if (!LetSchedulesStop(doc_.Catalogue(), frame_, services_.prompts, QSystemTrayIcon::isSystemTrayAvailable()))
    return false;
  if (!controller_.IsBusy()) return true;
  if (services_.prompts.AskYesNo(UiString(IDS_CLOSE_WHILE_RUNNING).toStdString()) != UserPrompts::Answer::Yes) {
    return false;
  }
  // No new run may start while the running one is being stopped.
  scheduler_.StopTicking();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  controller_.Shutdown();
  QApplication::restoreOverrideCursor();
  return true;
}

}  // namespace tarnwick::ui
