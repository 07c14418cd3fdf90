#include "ui/ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <functional>
#include <memory>

#include "ui/AboutDlg.h"
#include "ui/ActivityLogModel.h"
#include "ui/CustomizeDlg.h"
#include "ui/HelpWindow.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"
#include "ui/MessageBoxPrompts.h"
#include "ui/OptionsDlg.h"
#include "ui/SplashScreenEx.h"
#include "ui/TarnwickView.h"

namespace tarnwick::ui {
namespace {

constexpr int kStepDelay = 400;  // ms for a window to be laid out and painted

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
};

}  // namespace

QString ScreenshotTourFolder(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot-tour"));
  return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
}

void StartScreenshotTour(const QString& folder, CMainFrame& frame, CTarnwickView& view) {
  auto* tour = new Tour(folder, frame, view);
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
  tour->NextLater(800);
}

}  // namespace tarnwick::ui
