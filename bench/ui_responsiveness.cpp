// The desktop program's responsiveness, measured in-process on the offscreen platform:
//  1. start to window: the catalogue of 1,000 profiles loaded into both lists and the main window
//     built and shown;
//  2. a worker appends 100,000 log rows (with the status text and progress of each file, as a copy
//     job does) while the Activity Log tab is shown: the longest stall of the window's event loop,
//     the time until the last row is shown, and the memory the rows take.
// Usage: ui_responsiveness [PROFILES] [ROWS]
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/ProgramFolder.h"
#include "profiles/Profile.h"
#include "ui/ActivityLogModel.h"
#include "ui/MainFrame.h"
#include "ui/MessageBoxPrompts.h"
#include "ui/TarnwickDoc.h"
#include "ui/TarnwickView.h"
#include "ui/UiDialogs.h"

namespace fs = std::filesystem;
using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

void MakeProfiles(const fs::path& folder, int count) {
  for (int i = 0; i < count; ++i) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = "profile-" + std::to_string(i);
    p.isScheduled = i % 2 == 1;
    p.schedule.enabled = p.isScheduled;
    p.localSources.push_back({(folder / "src").string(), "+[*.*]", ItemKind::LocalFolder, true});
    p.localDestFolder = (folder / "dst").string();
    ProfilePathFor(p);
    if (!WriteProfile(p, std::time(nullptr)).ok()) std::abort();
  }
}

class NoEditor : public ProfileEditorLauncher {
  void OpenEditor(QWidget*, const ProfileEditorRequest&, ProfileEditorContext&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const int profiles = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int rows = argc > 2 ? std::atoi(argv[2]) : 100000;
  QApplication app(argc, argv);
  char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
  const fs::path dir = ::mkdtemp(pattern);
  fs::create_directories(dir / "bin/Profile");
  SetProgramFolderPath(dir / "bin");
  fs::current_path(dir);
  MakeProfiles(dir, profiles);

  SystemClock clock;
  MessageBoxPrompts prompts;
  QtDialogs dialogs;
  NoEditor editor;
  QElapsedTimer start;
  start.start();
  CTarnwickDoc doc(prompts, clock);
  CMainFrame frame;
  doc.OnNewDocument();
  const qint64 catalogueMs = start.elapsed();
  CTarnwickView view(doc, frame, ViewServices{prompts, dialogs, editor, clock});
  frame.show();
  QCoreApplication::processEvents();
  const qint64 windowMs = start.elapsed();
  std::printf("start to window with %d profiles: %lld ms (catalogue load %lld ms)\n", profiles,
              static_cast<long long>(windowMs), static_cast<long long>(catalogueMs));

  view.Tabs()->setCurrentIndex(CTarnwickView::kLogTab);
  QCoreApplication::processEvents();
  const long before = ResidentKiB();
  // A copy job's reports per file: the row, the status text and the progress.
  JobObserver& observer = view.Observer();
  QElapsedTimer run;
  qint64 last = 0, longest = 0;
  QTimer probe;
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = run.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  run.start();
  probe.start();
  std::thread worker([&] {
    for (int i = 0; i < rows; ++i) {
      const std::string path = "/home/user/photos/2024/IMG_" + std::to_string(i) + ".jpg";
      observer.OnStatusText("Backing up " + path + " (2048 KB)");
      observer.OnProgress(i, rows);
      doc.Log().LogActionText(LOG_BACKUPFILE, "Backup file " + path + ".");
    }
  });
  while (view.LogModel()->rowCount() < rows) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  const qint64 shownMs = run.elapsed();
  worker.join();
  probe.stop();
  const long after = ResidentKiB();
  std::printf("%d rows from a worker: longest event-loop stall %lld ms (goal < 50), all shown after %lld ms\n", rows,
              static_cast<long long>(longest), static_cast<long long>(shownMs));
  std::printf("memory: %.1f MiB more resident for %d rows (log and window copy), %.0f bytes per row\n",
              (after - before) / 1024.0, rows, (after - before) * 1024.0 / rows);
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
