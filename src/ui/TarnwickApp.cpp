#include "ui/TarnwickApp.h"

#include <QApplication>

#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"
#include "ui/MessageBoxPrompts.h"
#include "ui/ProfileEditorLauncher.h"
#include "ui/ScreenshotTour.h"
#include "ui/SingleInstance.h"
#include "ui/SplashScreenEx.h"
#include "ui/TarnwickDoc.h"
#include "ui/TarnwickView.h"
#include "ui/TrayIcon.h"
#include "ui/UiDialogs.h"

namespace tarnwick::ui {

Q_LOGGING_CATEGORY(lcInstance, "tarnwick.instance", QtWarningMsg)

namespace {

void ShowStartupSplash() {
  auto* splash = new CSplashScreenEx;  // deletes itself when it has faded out
  splash->Create(nullptr, {}, CSplashScreenEx::kStartupDisplayTime, CSplashScreenEx::kStartupStyle);
  if (!splash->SetBitmap(SplashPicture(), 255, 0, 255)) {
    delete splash;
    return;
  }
  splash->Show();
}

}  // namespace

int CTarnwickApp::Main(int argc, char** argv) {
  QApplication application(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
  QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
  SetProgramFolder(argc > 0 ? argv[0] : "");
  const QString tourFolder = ScreenshotTourFolder(QCoreApplication::arguments());

  CSingleInstance instance;
  if (!instance.Acquire()) {
    const bool answered = instance.AskFirstCopyToRaise();
    qCInfo(lcInstance) << (answered ? "another copy runs: asked it to raise its window"
                                    : "another copy runs but did not answer");
    return 0;
  }

  ProgramSettings settings;
  // An unreadable settings file shows the splash.
  const bool showSplash = !settings.ReadSettings(SettingsFilePath().string()).ok() || settings.showSplash();
  if (showSplash && tourFolder.isEmpty()) ShowStartupSplash();

  SystemClock clock;
  MessageBoxPrompts prompts;
  QtDialogs dialogs;
  const std::unique_ptr<ProfileEditorLauncher> editor = MakeProfileEditorLauncher();
  CTarnwickDoc doc(prompts, clock);
  CMainFrame frame;
  prompts.SetParent(&frame);
  doc.OnNewDocument();
  CTarnwickView view(doc, frame, ViewServices{prompts, dialogs, *editor, clock});
  frame.RestoreWindowState();
  QObject::connect(&instance, &CSingleInstance::raiseRequested, &frame, [&frame] {
    frame.Raise();
    qCInfo(lcInstance) << "window raised for another copy";
  });
  // A window hidden into the tray is not the last window closed: the program ends when the frame
  // closes for good, not when a message box shown meanwhile goes away.
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&frame, &CMainFrame::closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
  CTrayIcon tray(frame, view);
  frame.SetHideOnClose(&CTrayIcon::KeepInTrayOnClose);
  frame.show();
  if (!tourFolder.isEmpty()) {
    StartScreenshotTour(tourFolder, frame, view, ScreenshotTourFtp(QCoreApplication::arguments()));
  }
  const int code = QApplication::exec();
  // The view goes before the frame it lives in; a job still running was stopped by the close.
  frame.SetCloseGuard({});
  frame.SetHideOnClose({});
  return code;
}

}  // namespace tarnwick::ui
