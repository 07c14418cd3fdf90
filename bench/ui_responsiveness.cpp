// The desktop program's responsiveness, measured in-process on the offscreen platform:
//  1. start to window: the catalogue of 1,000 profiles loaded into both lists and the main window
//     built and shown;
//  2. a worker appends 100,000 log rows (with the status text and progress of each file, as a copy
//     job does) while the Activity Log tab is shown: the longest stall of the window's event loop,
//     the median gap between two turns of it, the time until the last row is shown, and the memory
//     the rows take;
//  3. those rows saved as the Save command does (its time on the window's thread), the log cleared
//     and the file opened through the Open command: the longest stall and the time until every
//     loaded row is shown.
// Usage: ui_responsiveness [PROFILES] [ROWS]
#include <stdlib.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/ProgramFolder.h"
#include "profiles/Profile.h"
#include "ui/ActivityLogModel.h"
#include "ui/CommandTable.h"
#include "ui/MainFrame.h"
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

// Counts the messages instead of showing them, and answers Yes.
class QuietPrompts : public UserPrompts {
 public:
  int messages = 0;
  void ShowMessage(const std::string&, const std::string&) override { ++messages; }
  Answer AskYesNo(const std::string&, bool) override { return Answer::Yes; }
};

// The file dialogs answered with the benchmark's log.
class BenchDialogs : public QtDialogs {
 public:
  std::string log;  // without ".log"
  std::optional<std::string> ChooseLogToOpen(QWidget*) override { return log + ".log"; }
  std::optional<std::string> ChooseLogToSave(QWidget*) override { return log; }
};

// The gaps between the turns of the window's event loop, as a 1 ms timer sees them, and the CPU
// time the window's thread had in the longest: on a shared machine a gap may be a wait for a CPU
// rather than work of the window.
class StallProbe {
 public:
  StallProbe() {
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      const double cpu = ThreadCpuMs();
      if (gaps_.empty() || now - last_ > Longest()) longestCpu_ = cpu - lastCpu_;
      gaps_.push_back(now - last_);
      last_ = now;
      lastCpu_ = cpu;
    });
  }
  void Start() {
    gaps_.clear();
    last_ = 0;
    lastCpu_ = ThreadCpuMs();
    clock_.start();
    timer_.start();
  }
  void Stop() { timer_.stop(); }
  qint64 Elapsed() const { return clock_.elapsed(); }
  qint64 Longest() const { return gaps_.empty() ? 0 : *std::max_element(gaps_.begin(), gaps_.end()); }
  double LongestCpu() const { return longestCpu_; }
  qint64 Median() {
    if (gaps_.empty()) return 0;
    std::nth_element(gaps_.begin(), gaps_.begin() + static_cast<std::ptrdiff_t>(gaps_.size() / 2), gaps_.end());
    return gaps_[gaps_.size() / 2];
  }

 private:
  static double ThreadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
  }

  QTimer timer_;
  QElapsedTimer clock_;
  std::vector<qint64> gaps_;
  qint64 last_ = 0;
  double lastCpu_ = 0;
  double longestCpu_ = 0;
};

void PrintStalls(const std::string& what, StallProbe& probe, qint64 shownMs) {
  std::printf(
      "%s: longest event-loop stall %lld ms (goal < 50; the window's thread on a CPU %.1f ms of it), median "
      "%lld ms, done after %lld ms\n",
      what.c_str(), static_cast<long long>(probe.Longest()), probe.LongestCpu(), static_cast<long long>(probe.Median()),
      static_cast<long long>(shownMs));
}

void WaitForRows(CActivityLogModel* model, int rows) {
  while (model->rowCount() != rows) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

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
  {
    // The catalogue of an earlier session, as at every start but the first after a change: the
    // create times written by a first load, and the files an hour old.
    SystemClock clock;
    QuietPrompts prompts;
    CTarnwickDoc(prompts, clock).OnNewDocument();
    const auto anHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name : {"bin/profiles.ini", "bin/Profile"}) fs::last_write_time(dir / name, anHourAgo);
  }

  SystemClock clock;
  QuietPrompts prompts;
  BenchDialogs dialogs;
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
  StallProbe probe;
  probe.Start();
  std::thread worker([&] {
    for (int i = 0; i < rows; ++i) {
      const std::string path = "/home/user/photos/2024/IMG_" + std::to_string(i) + ".jpg";
      observer.OnStatusText("Backing up " + path + " (2048 KB)");
      observer.OnProgress(i, rows);
      doc.Log().LogActionText(LOG_BACKUPFILE, "Backup file " + path + ".");
    }
  });
  WaitForRows(view.LogModel(), rows);
  const qint64 shownMs = probe.Elapsed();
  worker.join();
  probe.Stop();
  const long after = ResidentKiB();
  PrintStalls(std::to_string(rows) + " rows from a worker", probe, shownMs);
  std::printf("memory: %.1f MiB more resident for %d rows (log and window copy), %.0f bytes per row\n",
              (after - before) / 1024.0, rows, (after - before) * 1024.0 / rows);

  // The same rows saved, and opened again into an empty log.
  // The same rows saved through the Save command, and opened again into an empty log.
  dialogs.log = (dir / "big").string();
  probe.Start();
  QTimer::singleShot(0, frame.Action(ID_LOG_SAVE), &QAction::trigger);
  while (prompts.messages == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  const qint64 savedMs = probe.Elapsed();
  probe.Stop();
  const fs::path saved = dir / "big.log";
  PrintStalls(std::to_string(rows) + " rows saved", probe, savedMs);
  doc.Log().Clear();
  WaitForRows(view.LogModel(), 0);
  probe.Start();
  QTimer::singleShot(0, frame.Action(ID_LOG_OPEN), &QAction::trigger);
  WaitForRows(view.LogModel(), rows);
  const qint64 loadedMs = probe.Elapsed();
  probe.Stop();
  PrintStalls(std::to_string(rows) + " rows opened from a saved log (" +
                  std::to_string(fs::file_size(saved) / (1024 * 1024)) + " MiB)",
              probe, loadedMs);
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
