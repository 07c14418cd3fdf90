#include "ui/TarnwickView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTabWidget>
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
#include "ui/Icons.h"
#include "ui/MainFrame.h"
#include "ui/OptionsDlg.h"
#include "ui/ProfileListModel.h"
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
      schedulerLock_(CSchedulerLock::DefaultPath(),
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
  for (QAbstractItemModel* model :
       {static_cast<QAbstractItemModel*>(quickModel_), static_cast<QAbstractItemModel*>(scheduledModel_),
        static_cast<QAbstractItemModel*>(logModel_)}) {
    connect(model, &QAbstractItemModel::modelReset, this, &CTarnwickView::UpdateCommandStates);
    connect(model, &QAbstractItemModel::rowsInserted, this, &CTarnwickView::UpdateCommandStates);
  }
  ConnectCommands();
  ConnectJobReports();
  connect(&doc_, &CTarnwickDoc::catalogueChanged, this, &CTarnwickView::RefreshLists);

  logAdapter_.Attach();
  RefreshLists();
  controller_.Monitor().ReadRunMissedSetting();
  reloadTimer_.setSingleShot(true);
  reloadTimer_.setInterval(kReloadDelay);
  // The data folder also changes for files that are not the catalogue, the scheduler's lock among
  // them: only a change of the catalogue's files is worth reading every profile again.
  connect(&reloadTimer_, &QTimer::timeout, this, [this] {
    if (!catalogueStamp_.SameFiles(CatalogueStamp::Take())) ReloadCatalogue();
  });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &reloadTimer_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &reloadTimer_, qOverload<>(&QTimer::start));
  WatchProfileFolders();
  tick_.setInterval(kTickInterval);
  connect(&tick_, &QTimer::timeout, this, &CTarnwickView::OnTick);
  tick_.start();
  // `tarnwick-cli stop` while the window runs the schedules: its run ends as by its own Stop.
  schedulerLock_.AnswerStopRequests([this]() -> std::optional<std::string> {
    std::string running = controller_.RunningProfile();
    if (!controller_.Stop()) return std::nullopt;
    return running;
  });
  // Whether the schedules run here is known from the start, not one tick later.
  schedulerLock_.TryAcquire();
  UpdateSchedulePane();
  frame_.SetView(this);
  frame_.SetCloseGuard([this] { return CanClose(); });
  UpdateCommandStates();
}

CTarnwickView::~CTarnwickView() {
  if (logFileWork_.joinable()) logFileWork_.join();
  if (stopAsker_.joinable()) stopAsker_.join();  // it waits for an answer a few seconds at most
  tick_.stop();
  frame_.SetCloseGuard({});
  controller_.Shutdown();
}

QTreeView* CTarnwickView::MakeList(QAbstractItemModel* model, const std::vector<int>& widths) {
  auto* list = new QTreeView(this);
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
  on(ID_QUICK_DELETE, [this] { OnDelete(ProfileList::Quick); });
  on(ID_QUICK_RENAME, [this] { OnRename(ProfileList::Quick); });
  on(ID_SCHEDULED_SETTINGS, [this] { OnScheduledSettings(); });
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
  connect(&observer_, &CJobObserverAdapter::jobEnded, this, [this] {
    // The run stamped its last-run time (and a scheduled one its next run): show them.
    ReloadCatalogue();
    UpdateCommandStates();
  });
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
      {ID_QUICK_DELETE, quick >= 1},
      {ID_QUICK_RENAME, quick == 1},
      {ID_SCHEDULED_SETTINGS, scheduled == 1},
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
  catalogueStamp_ = CatalogueStamp::Take();
  doc_.OnNewDocument();
  WatchProfileFolders();
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

void CTarnwickView::OnTick() {
  const bool held = schedulerLock_.Held();
  if (schedulerLock_.TryAcquire()) {
    if (!held) {
      // Taken over from the service: what it launched meanwhile has rewritten the profiles.
      controller_.Monitor().ReadRunMissedSetting();
      ReloadCatalogue();
    }
    if (controller_.Monitor().OnTick(services_.clock.Now())) {
      // The monitor launched a profile and reloaded the catalogue.
      doc_.CatalogueChanged();
    }
  }
  UpdateSchedulePane();
  UpdateCommandStates();
}

void CTarnwickView::UpdateSchedulePane() {
  serviceRunning_.clear();
  if (schedulerLock_.Held()) {
    frame_.SetSchedulePane(UiString(IDS_SCHEDULES_PANE_HERE));
    return;
  }
  // The lock file names its holder; a holder that has not written it yet, or a lock file that
  // cannot be made, leaves the question mark.
  const CSchedulerLock::Holder holder =
      CSchedulerLock::ReadHolder(CSchedulerLock::DefaultPath()).value_or(CSchedulerLock::Holder{});
  const QString who = holder.text.empty() ? QStringLiteral("?") : QString::fromStdString(holder.text);
  serviceRunning_ = holder.running;
  frame_.SetSchedulePane(
      serviceRunning_.empty()
          ? UiString(IDS_SCHEDULES_PANE_ELSEWHERE).arg(who)
          : UiString(IDS_SCHEDULES_PANE_ELSEWHERE_RUNNING).arg(who, QString::fromStdString(serviceRunning_)));
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

void CTarnwickView::OnLaunchQuick() {
  const std::string name = SelectedName(ProfileList::Quick);
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
    serviceRunning_.clear();  // until the next tick reads the lock file again
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
  if (dialog.exec() == QDialog::Accepted) controller_.Monitor().ReadRunMissedSetting();
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
  if (!controller_.IsBusy()) return true;
  if (services_.prompts.AskYesNo(UiString(IDS_CLOSE_WHILE_RUNNING).toStdString()) != UserPrompts::Answer::Yes) {
    return false;
  }
  // No new run may start while the running one is being stopped.
  tick_.stop();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  controller_.Shutdown();
  QApplication::restoreOverrideCursor();
  return true;
}

}  // namespace tarnwick::ui
