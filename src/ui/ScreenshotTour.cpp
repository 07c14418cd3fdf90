#include "ui/ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>

#include "app/StringTable.h"
#include "profiles/ProfileCatalogue.h"
#include "ui/AboutDlg.h"
#include "ui/ActivityLogModel.h"
#include "ui/AdvancedScheduleDlg.h"
#include "ui/BackupDestDlg.h"
#include "ui/BackupSourceDlg.h"
#include "ui/CustomizeDlg.h"
#include "ui/EditFilterDlg.h"
#include "ui/EditorServices.h"
#include "ui/FileInfoDlg.h"
#include "ui/FtpBrowseDlg.h"
#include "ui/HelpWindow.h"
#include "ui/Icons.h"
#include "ui/ItemsInfoDlg.h"
#include "ui/LoginTestDlg.h"
#include "ui/MainFrame.h"
#include "ui/MessageBoxPrompts.h"
#include "ui/OptionsDlg.h"
#include "ui/PingDlg.h"
#include "ui/ProfileDlg.h"
#include "ui/ProfileListModel.h"
#include "ui/QtHistoryStore.h"
#include "ui/RemoteSourceDlg.h"
#include "ui/ScheduleSettingsDlg.h"
#include "ui/SelectMonthsDlg.h"
#include "ui/SourceTreeDlg.h"
#include "ui/SplashScreenEx.h"
#include "ui/TarnwickView.h"

namespace tarnwick::ui {
namespace {

constexpr int kStepDelay = 400;    // ms for a window to be laid out and painted
constexpr int kWorkerWait = 8000;  // ms a dialog may take to hear from its worker before it is saved

// The profile editor's dialogs, filled with the first quick profile of the catalogue and, when the
// tour has an FTP server, a remote source and an FTP destination on it.
struct EditorShots {
  EditorShots(CBackupController& controller, UserPrompts& prompts, const QUrl& ftp)
      : catalogue(prompts, clock), services{catalogue, controller, prompts, clock, {}, files, history}, ftpUrl(ftp) {}

  FtpBrowseAccount Account() const {
    return {ftpUrl.host().toStdString(),
            std::to_string(ftpUrl.port(21)),
            ftpUrl.userName().toStdString(),
            ftpUrl.password().toStdString(),
            "/",
            true,
            false};
  }

  SystemClock clock;
  CProfileCatalogue catalogue;
  QtFileChooser files;
  QtHistoryStore history;
  EditorServices services;
  QUrl ftpUrl;
  Profile profile;
  SourceListState sourceState;
  DestinationChoices choices;
  std::vector<SourceItem> browsed;
};

class Tour : public QObject {
 public:
  Tour(const QString& folder, CMainFrame& frame, CTarnwickView& view)
      : QObject(&frame), folder_(folder), frame_(frame), view_(view) {
    QDir().mkpath(folder_);
  }

  void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }
  void Next() {
    if (steps_.empty()) {
      QApplication::quit();
      return;
    }
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
  }
  void NextLater(int delay = kStepDelay) {
    QTimer::singleShot(delay, this, [this] { Next(); });
  }

  void Save(QWidget* widget, const QString& name) {
    const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
    // On a real display the screen shows what the user sees, shaped windows included.
    QScreen* screen = widget->screen();
    QPixmap picture = QGuiApplication::platformName() == QLatin1String("xcb") && screen
                          ? screen->grabWindow(0, widget->x(), widget->y(), widget->width(), widget->height())
                          : widget->grab();
    picture.save(path);
  }

  // Shows `dialog` without blocking, saves it and closes it.
  void SaveDialog(QWidget* dialog, const QString& name) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    QTimer::singleShot(kStepDelay, this, [this, dialog, name] {
      Save(dialog, name);
      dialog->close();
      Next();
    });
  }

  // Shows `dialog` without blocking, saves it once `ready` holds (or the wait is over), closes it.
  void SaveDialogWhen(QDialog* dialog, const QString& name, const std::function<bool()>& ready,
                      int waitLeft = kWorkerWait) {
    if (waitLeft == kWorkerWait) {
      dialog->setAttribute(Qt::WA_DeleteOnClose);
      dialog->show();
    }
    if (!ready() && waitLeft > 0) {
      QTimer::singleShot(100, this, [=, this] { SaveDialogWhen(dialog, name, ready, waitLeft - 100); });
      return;
    }
    QTimer::singleShot(kStepDelay, this, [this, dialog, name] {
      Save(dialog, name);
      dialog->close();
      Next();
    });
  }

  void WaitForJob(int triesLeft) {
    if (view_.Controller().IsBusy() && triesLeft > 0) {
      QTimer::singleShot(100, this, [this, triesLeft] { WaitForJob(triesLeft - 1); });
      return;
    }
    NextLater();
  }

  QString folder_;
  CMainFrame& frame_;
  CTarnwickView& view_;
  MessageBoxPrompts prompts_;
  std::deque<std::function<void()>> steps_;
  std::unique_ptr<EditorShots> editor_;
  bool closeQuestionSaved_ = false;
};

// The first quick profile of the window, with a remote source on the tour's server when it has one.
Profile TourProfile(CTarnwickView& view, const EditorShots& shots) {
  Profile profile = CProfileDlg::NewProfile(shots.clock.Now());
  CProfileListModel* quick = view.ProfileModel(ProfileList::Quick);
  if (quick->rowCount() > 0) {
    const std::string name = quick->Row(0).name;
    (void)ReadProfile(ProfileFileOf(name), profile, shots.clock.Now());  // unreadable: the new profile is shown
    profile.name = name;
  }
  if (!shots.ftpUrl.isEmpty()) {
    FtpSource remote;
    const FtpBrowseAccount account = shots.Account();
    remote.site = {account.host, account.portText, account.user, account.password, "/", "1", true};
    remote.items = {{"/reports", "+[*.pdf;*.txt]", ItemKind::FtpFolder, true},
                    {"/notes.txt", "", ItemKind::FtpFile, false}};
    profile.remoteSources.push_back(remote);
  }
  profile.schedule.type = kScheduleWeekly;
  profile.schedule.weekdays = 0b0010101;
  profile.schedule.enabled = true;
  return profile;
}

// The steps that save the profile editor's dialogs.
void AddEditorSteps(Tour* tour) {
  tour->Add([tour] {
    auto* editor = new CProfileDlg(tour->editor_->services, false, tour->editor_->profile, &tour->frame_);
    tour->SaveDialog(editor, QStringLiteral("profile-quick"));
  });
  tour->Add([tour] {
    auto* editor = new CProfileDlg(tour->editor_->services, true, tour->editor_->profile, &tour->frame_);
    tour->SaveDialog(editor, QStringLiteral("profile-scheduled"));
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    auto* sources = new CBackupSourceDlg(e.profile, e.sourceState, e.services, &tour->frame_);
    if (QTreeWidgetItem* first = sources->List()->topLevelItem(0)) first->setSelected(true);
    tour->SaveDialog(sources, QStringLiteral("source-list"));
  });
  tour->Add([tour] {
    tour->SaveDialog(new CEditFilterDlg("+[*.txt;*.doc]-[~*]", true, &tour->frame_), QStringLiteral("edit-filter"));
  });
  tour->Add([tour] {
    const std::string file = QCoreApplication::applicationFilePath().toStdString();
    tour->SaveDialog(new CFileInfoDlg(file, &tour->frame_), QStringLiteral("file-info"));
  });
  tour->Add([tour] { tour->SaveDialog(new CItemsInfoDlg(2, 5, &tour->frame_), QStringLiteral("items-info")); });
  tour->Add([tour] {
    auto* tree = new CSourceTreeDlg(tour->editor_->profile, &tour->frame_);
    tour->SaveDialogWhen(tree, QStringLiteral("source-tree"), [tree] { return tree->Ready(); });
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    Profile ftpDestination = e.profile;
    if (!e.ftpUrl.isEmpty()) {
      const FtpBrowseAccount account = e.Account();
      ftpDestination.destIsLocal = false;
      ftpDestination.ftpDest = {account.host, account.portText, account.user, account.password, "/backup", "1", false};
    }
    e.profile = ftpDestination;
    tour->SaveDialog(new CBackupDestDlg(e.profile, e.choices, e.services, &tour->frame_),
                     QStringLiteral("destination"));
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    tour->SaveDialog(new CRemoteSourceDlg(e.profile, e.services, &tour->frame_), QStringLiteral("remote-source"));
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    if (e.ftpUrl.isEmpty()) return tour->Next();
    auto* browse = new CFtpBrowseDlg(e.Account(), e.browsed, e.services.prompts, {}, &tour->frame_);
    tour->SaveDialogWhen(browse, QStringLiteral("ftp-browse"), [browse] { return !browse->Busy(); });
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    if (e.ftpUrl.isEmpty()) return tour->Next();
    const FtpBrowseAccount account = e.Account();
    LoginTestRequest request{account.host, account.user, account.password, "/", true, e.ftpUrl.port(21)};
    auto* test = new CLoginTestDlg(request, e.services.prompts, {}, &tour->frame_);
    tour->SaveDialogWhen(test, QStringLiteral("login-test"), [test] { return test->Lines()->count() >= 5; });
  });
  tour->Add([tour] {
    const std::string text = FormatString(IDS_KEY_PASSPHRASE_PROMPT, "/home/anna/.ssh/id_ed25519");
    tour->SaveDialog(MessageBoxPrompts::NewSecretDialog(text, &tour->frame_), QStringLiteral("key-passphrase"));
  });
  tour->Add([tour] {
    auto* ping = new CPingDlg("127.0.0.1", &tour->frame_);
    tour->SaveDialogWhen(ping, QStringLiteral("ping"), [ping] { return ping->Finished(); });
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    tour->SaveDialog(new CScheduleSettingsDlg(e.profile.schedule, e.services.prompts, &tour->frame_),
                     QStringLiteral("schedule-settings"));
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    ScheduleRecord monthly = e.profile.schedule;
    monthly.type = kScheduleMonthly;
    monthly.monthlyByWeekday = 1;
    monthly.weekOfMonth = 4;
    tour->SaveDialog(new CScheduleSettingsDlg(monthly, e.services.prompts, &tour->frame_),
                     QStringLiteral("schedule-monthly"));
  });
  tour->Add([tour] {
    tour->SaveDialog(new CSelectMonthsDlg(0b100000111111, tour->editor_->services.prompts, &tour->frame_),
                     QStringLiteral("select-months"));
  });
  tour->Add([tour] {
    EditorShots& e = *tour->editor_;
    ScheduleRecord repeating = e.profile.schedule;
    repeating.repeat = 1;
    repeating.repeatInterval = 30;
    repeating.repeatDuration = 150;
    tour->SaveDialog(new CAdvancedScheduleDlg(repeating, e.services.prompts, &tour->frame_),
                     QStringLiteral("advanced-schedule"));
  });
}

}  // namespace

QString ScreenshotTourFolder(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot-tour"));
  return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
}

QString ScreenshotTourFtp(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--tour-ftp"));
  return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
}

void StartScreenshotTour(const QString& folder, CMainFrame& frame, CTarnwickView& view, const QString& ftp) {
  auto* tour = new Tour(folder, frame, view);
  tour->editor_ = std::make_unique<EditorShots>(view.Controller(), tour->prompts_,
                                                ftp.isEmpty() ? QUrl() : QUrl(QStringLiteral("ftp://") + ftp));
  tour->Add([tour] {
    QTreeView* quick = tour->view_.List(CTarnwickView::kQuickTab);
    if (quick->model()->rowCount() > 0) {
      quick->setCurrentIndex(quick->model()->index(0, 0));
      tour->view_.OnLaunchQuick();
    }
    tour->WaitForJob(300);
  });
  const std::pair<CTarnwickView::Tab, const char*> tabs[] = {
      {CTarnwickView::kQuickTab, "tab-quick"},
      {CTarnwickView::kScheduledTab, "tab-scheduled"},
      {CTarnwickView::kLogTab, "tab-log"},
  };
  for (const auto& [tabIndex, name] : tabs) {
    const int tab = tabIndex;  // clang 14 cannot capture a structured binding
    tour->Add([tour, tab] {
      tour->view_.LogModel()->Flush();
      tour->view_.Tabs()->setCurrentIndex(tab);
      tour->NextLater();
    });
    tour->Add([tour, name = QString::fromLatin1(name)] {
      tour->Save(&tour->frame_, name);
      tour->Next();
    });
  }
  tour->Add([tour] { tour->SaveDialog(new CAboutDlg([] {}, &tour->frame_), QStringLiteral("about")); });
  tour->Add([tour] { tour->SaveDialog(new COptionsDlg(tour->prompts_, &tour->frame_), QStringLiteral("options")); });
  tour->Add([tour] { tour->SaveDialog(new CCustomizeDlg(tour->frame_, &tour->frame_), QStringLiteral("customize")); });
  tour->Add([tour] {
    tour->view_.ShowHelpTopic(QLatin1String(kHelpBasicSettings));
    tour->NextLater();
  });
  tour->Add([tour] {
    if (CHelpWindow* help = tour->view_.HelpWindow()) {
      tour->Save(help, QStringLiteral("help"));
      help->close();
    }
    tour->Next();
  });
  tour->Add([tour] {
    tour->editor_->profile = TourProfile(tour->view_, *tour->editor_);
    tour->Next();
  });
  AddEditorSteps(tour);
  tour->Add([tour] {
    auto* splash = new CSplashScreenEx;
    splash->Create(nullptr, {}, 0, CSplashScreenEx::kCenterScreen);
    splash->SetBitmap(SplashPicture(), 255, 0, 255);
    splash->Show();
    QTimer::singleShot(kStepDelay, tour, [tour, splash] {
      tour->Save(splash, QStringLiteral("splash"));
      splash->Hide();
      tour->Next();
    });
  });
  tour->Add([tour] {
    // The tour's profiles have an enabled schedule and no tray or service: closing asks first.
    // The question is saved and answered from a timer, as its own event loop runs.
    auto* answer = new QTimer(tour);
    QObject::connect(answer, &QTimer::timeout, tour, [tour] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() != QLatin1String("ScheduleCloseQuestion") || !widget->isVisible()) continue;
        if (!tour->closeQuestionSaved_) tour->Save(widget, QStringLiteral("close-question"));
        tour->closeQuestionSaved_ = true;
        if (auto* quit = widget->findChild<QPushButton*>(QStringLiteral("QuitAnyway"))) quit->click();
      }
    });
    answer->start(kStepDelay);
    tour->frame_.close();
    tour->Next();
  });
  tour->NextLater(800);
}

}  // namespace tarnwick::ui
