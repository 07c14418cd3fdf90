#include "ui/ScheduleCloseQuestion.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "app/UserPrompts.h"
#include "engine/BackgroundService.h"
#include "profiles/ProfileCatalogue.h"
#include "ui/MainFrame.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

enum class Choice { KeepInTray, InstallService, QuitAnyway, Cancel };

Choice Ask(QWidget* parent, bool trayAvailable) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarnwick"), UiString(IDS_CLOSE_SCHEDULES_STOP),
                  QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("ScheduleCloseQuestion"));
  QPushButton* tray = nullptr;
  if (trayAvailable) {
    tray = box.addButton(UiString(IDS_CLOSE_KEEP_IN_TRAY), QMessageBox::AcceptRole);
    tray->setObjectName(QStringLiteral("KeepInTray"));
  }
  QPushButton* install = box.addButton(UiString(IDS_CLOSE_INSTALL_SERVICE), QMessageBox::AcceptRole);
  install->setObjectName(QStringLiteral("InstallService"));
  QPushButton* quit = box.addButton(UiString(IDS_CLOSE_QUIT_ANYWAY), QMessageBox::DestructiveRole);
  quit->setObjectName(QStringLiteral("QuitAnyway"));
  box.addButton(QMessageBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
  box.setDefaultButton(tray != nullptr ? tray : install);
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  if (clicked != nullptr && clicked == tray) return Choice::KeepInTray;
  if (clicked == install) return Choice::InstallService;
  if (clicked == quit) return Choice::QuitAnyway;
  return Choice::Cancel;
}

// From now on a close hides the window into the tray, as the Options box would have it.
void KeepInTrayFromNowOn(UserPrompts& prompts) {
  ProgramSettings settings;
  const std::string path = SettingsFilePath().string();
  // A settings file that cannot be read is written anew: the user's choice is what counts now.
  (void)settings.ReadSettings(path);
  settings.setKeepInTray(true);
  if (const Status written = settings.WriteSettings(path); !written.ok()) {
    prompts.ShowMessage(UiString(IDS_OPTIONS_WRITE_FAILED)
                            .arg(QString::fromStdString(path), QString::fromStdString(written.message()))
                            .toStdString());
  }
}

}  // namespace

void WaitOffThread(const std::function<void()>& work) {
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done = true;
    // Queued: it reaches the loop below also when posted before the loop runs.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  QApplication::restoreOverrideCursor();
}

bool LetSchedulesStop(const CProfileCatalogue& catalogue, CMainFrame& frame, UserPrompts& prompts, bool trayAvailable) {
  const auto& table = catalogue.ScheduleTable();
  if (std::none_of(table.begin(), table.end(), [](const ScheduleRecord& record) { return record.enabled; })) {
    return true;
  }
  bool serviceRuns = false;
  WaitOffThread([&serviceRuns] { serviceRuns = CBackgroundService::WillRunSchedules(); });
  if (serviceRuns) return true;
  switch (Ask(&frame, trayAvailable)) {
    case Choice::KeepInTray:
      KeepInTrayFromNowOn(prompts);
      frame.SaveWindowState();
      frame.hide();
      return false;
    case Choice::InstallService: {
      Status installed;
      WaitOffThread([&installed] {
        std::filesystem::path unit;
        installed = CBackgroundService::Install(&unit);
      });
      if (installed.ok()) return true;
      prompts.ShowMessage(
          UiString(IDS_CLOSE_SERVICE_FAILED).arg(QString::fromStdString(installed.ToString())).toStdString());
      return false;
    }
    case Choice::QuitAnyway: return true;
    case Choice::Cancel: break;
  }
  return false;
}

}  // namespace tarnwick::ui
