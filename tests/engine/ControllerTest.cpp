#include <stdlib.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "engine/BackupController.h"
#include "engine/ScheduleMonitor.h"
#include "engine/SchedulerHost.h"
#include "profiles/ProfileCatalogue.h"
#include "support/FtpTestServer.h"
#include "support/RecordingPrompts.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// Holds a worker inside its first chunk until opened.
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void WaitForWaiter() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_ > 0; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int waiting_ = 0;
  bool open_ = false;
};

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    SetProgramFolderPath(dir / "bin");
    fs::create_directories(dir / "bin/Profile");
    WriteFile(dir / "src/data.bin", std::string(100 * 1024, 'd'));
    clock.Set(MakeLocalTime(2024, 3, 5, 9, 0, 0));
  }

  Profile QuickProfile(const std::string& name) const {
    Profile p;
    ResetSchedule(p.schedule, clock.Now());
    p.name = name;
    p.localSources.push_back({(dir / "src/data.bin").string(), "", ItemKind::LocalFile, false});
    p.localDestFolder = (dir / "dst").string();
    return p;
  }

  // A scheduled profile saved at 09:00 on 5 March 2024, running at hour:minute from that day on.
  std::string SaveScheduled(const std::string& name, std::int32_t type, int hour, int minute, bool enabled = true) {
    Profile p = QuickProfile(name);
    p.isScheduled = true;
    p.localDestFolder = (dir / ("dst-" + name)).string();
    p.schedule.type = type;
    p.schedule.startTime = MakeLocalTime(1980, 2, 6, hour, minute);
    p.schedule.startDate = p.schedule.onceDate = MakeLocalTime(2024, 3, 5);
    p.schedule.hasStartDate = 1;
    p.schedule.enabled = enabled;
    ProfilePathFor(p);
    EXPECT_TRUE(WriteProfile(p, MakeLocalTime(2024, 3, 5, 9, 0, 0)).ok());
    return p.filePath;
  }

  Profile ReadBack(const std::string& path) const {
    Profile p;
    EXPECT_TRUE(ReadProfile(path, p, clock.Now()).ok());
    return p;
  }

  bool TickAt(int hour, int minute, int second, int day = 5) {
    clock.Set(MakeLocalTime(2024, 3, day, hour, minute, second));
    const bool launched = monitor.OnTick(clock.Now());
    controller.WaitForJobEnd();
    return launched;
  }

  // "KEYWORD description" of every row but the REPORT rows, which the report tests look at.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& row : log.Rows()) {
      if (row.code != LOG_REPORT) rows.push_back(row[1] + " " + row[2]);
    }
    return rows;
  }
  std::size_t CountRows(const std::string& start) const {
    std::size_t n = 0;
    for (const auto& row : Rows()) n += row.rfind(start, 0) == 0;
    return n;
  }

  TempDir dir;
  FixedClock clock;
  CActivityLog log{clock};
  RecordingObserver observer;
  RecordingPrompts prompts;
  CProfileCatalogue catalogue{prompts, clock};
  CBackupController controller{log, observer, prompts, clock, catalogue};
  CScheduleMonitor monitor{controller, catalogue, log, observer};
};

TEST_F(ControllerTest, RunNowLogsTheTaskStampsTheCatalogueAndCopies) {
  EXPECT_EQ(controller.RunNow(QuickProfile("Nightly docs")), CBackupController::StartResult::Started);
  controller.WaitForJobEnd();
  const auto rows = log.Rows();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (LogRow{"##### TARNWICK #####", " ", " "}));
  EXPECT_EQ(rows[5].code, LOG_REPORT) << "the run's report comes last";
  EXPECT_EQ(rows[1][2], "********** Task Name:  Nightly docs **********");
  EXPECT_EQ(rows[4][2], "Backup End.");
  EXPECT_EQ(ReadFile(dir / "dst/data.bin").size(), 100u * 1024);
  EXPECT_NE(ReadFile(dir / "bin/profiles.ini").find("LASTRUN=2024-03-05 09:00:00"), std::string::npos);
  EXPECT_FALSE(controller.IsBusy());
}

TEST_F(ControllerTest, TheDateFolderIsTakenFromTheLaunchDay) {
  clock.Set(MakeLocalTime(2024, 3, 5, 23, 59, 59));
  Profile p = QuickProfile("dated");
  p.useDateFolder = true;
  p.localDestFolder += "/";
  ASSERT_EQ(controller.MakeJob(p), CBackupController::StartResult::Started);
  controller.WaitForJobEnd();
  EXPECT_TRUE(fs::exists(dir / "dst/2024-03-05/data.bin"));
}

TEST_F(ControllerTest, ACompressingProfileStartsTheZipWorker) {
  Profile p = QuickProfile("packed");
  p.compress = true;
  p.zipFileName = "packed.zip";
  ASSERT_EQ(controller.MakeJob(p), CBackupController::StartResult::Started);
  controller.WaitForJobEnd();
  EXPECT_EQ(CountRows("COMPRESSFILE"), 1u);
  EXPECT_EQ(Rows().back(), "BACKUPEND Backup End.");
  EXPECT_TRUE(fs::exists(dir / "dst/packed.zip"));
  EXPECT_FALSE(fs::exists(dir / "dst/data.bin"));
}

TEST_F(ControllerTest, OneJobAtATimeAlsoAcrossKindsAndWhileStarting) {
  Gate gate;
  observer.onProgress = [&gate](long long) { gate.Wait(); };
  ASSERT_EQ(controller.MakeJob(QuickProfile("first")), CBackupController::StartResult::Started);
  gate.WaitForWaiter();
  EXPECT_TRUE(controller.CopyWorkerBusy());

  Profile zip = QuickProfile("zip");
  zip.compress = true;
  zip.zipFileName = "a.zip";
  EXPECT_EQ(controller.MakeJob(zip), CBackupController::StartResult::Busy);
  EXPECT_EQ(controller.MakeJob(QuickProfile("quiet"), false), CBackupController::StartResult::Busy);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{LoadString(IDS_ANOTHER_JOB_RUNNING)}));
  EXPECT_EQ(controller.Job().localDestFolder, (dir / "dst").string()) << "a refused launch leaves the record";
  gate.Open();
  controller.WaitForJobEnd();
  EXPECT_FALSE(controller.IsBusy());
  EXPECT_EQ(CountRows("BACKUPSTART"), 1u);

  // Launches racing from several threads: exactly one starts.
  Gate second;
  observer.onProgress = [&second](long long) { second.Wait(); };
  std::atomic<bool> go{false};
  std::atomic<int> started{0};
  std::vector<std::thread> threads;
  threads.reserve(6);
  for (int i = 0; i < 6; ++i) {
    threads.emplace_back([&] {
      while (!go) std::this_thread::yield();
      if (controller.MakeJob(QuickProfile("race"), false) == CBackupController::StartResult::Started) ++started;
    });
  }
  go = true;
  for (auto& t : threads) t.join();
  second.Open();
  controller.WaitForJobEnd();
  EXPECT_EQ(started.load(), 1);
  EXPECT_EQ(CountRows("BACKUPSTART"), 2u);
}

TEST_F(ControllerTest, StopSaysSoAndTheJobEndsStopped) {
  EXPECT_FALSE(controller.Stop()) << "nothing to stop";
  WriteFile(dir / "dst/data.bin", "older copy");
  Gate gate;
  observer.onProgress = [&gate](long long) { gate.Wait(); };
  Profile p = QuickProfile("stopme");
  p.localSources.push_back(p.localSources.front());
  ASSERT_EQ(controller.MakeJob(p), CBackupController::StartResult::Started);
  gate.WaitForWaiter();
  EXPECT_TRUE(controller.Stop());
  EXPECT_EQ(observer.Texts().back(), "Please be patient while stopping the running backup job.");
  gate.Open();
  controller.WaitForJobEnd();
  const auto rows = Rows();
  EXPECT_EQ(rows.back(), "BACKUPSTOPPED Backup has been stopped.");
  EXPECT_EQ(CountRows("BACKUPFILE"), 1u) << "the second file is not started";
  EXPECT_EQ(CountRows("BACKUPEND"), 0u);
  EXPECT_TRUE(controller.StopRequested()) << "the flag stays until the next launch";
}

// A server that accepts the connection and never greets: Stop ends the job at once, not after the
// connect time-out, and the job says it was stopped rather than that the server failed.
TEST_F(ControllerTest, StopEndsAJobStillWaitingForADeadServer) {
  const test::SilentListener silent;
  Profile p = QuickProfile("dead");
  p.destIsLocal = false;
  p.ftpDest = FtpSite{"127.0.0.1", std::to_string(silent.port()), "u", "p", "/backup", "1", false};
  ASSERT_EQ(controller.MakeJob(p), CBackupController::StartResult::Started);
  const auto connecting = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (CountRows("CONNECTING") == 0 && std::chrono::steady_clock::now() < connecting) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // into the wait for the greeting
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(controller.Stop());
  controller.WaitForJobEnd();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(Rows().back(), "BACKUPSTOPPED Backup has been stopped.");
  EXPECT_EQ(CountRows("CONNECTFAILED"), 0u);
}

TEST(ControllerLifetimeTest, DestroyingTheControllerStopsAndWaitsForTheWorker) {
  ::setenv("TZ", "UTC", 1);
  TempDir dir;
  WriteFile(dir / "src/big.bin", std::string(6 * 1024 * 1024, 'x'));
  FixedClock clock(MakeLocalTime(2024, 3, 5, 9));
  CActivityLog log(clock);
  RecordingObserver observer;
  RecordingPrompts prompts;
  CProfileCatalogue catalogue(prompts, clock);
  {
    CBackupController controller(log, observer, prompts, clock, catalogue);
    // The first chunk holds the worker until the stop request arrives.
    observer.onProgress = [&controller](long long) {
      while (!controller.StopRequested()) std::this_thread::yield();
    };
    Profile p;
    p.name = "long";
    p.localSources.push_back({(dir / "src/big.bin").string(), "", ItemKind::LocalFile, false});
    p.localDestFolder = (dir / "dst").string();
    ASSERT_EQ(controller.MakeJob(p), CBackupController::StartResult::Started);
  }
  EXPECT_EQ(log.Rows().end()[-2][2], "Backup has been stopped.") << "the last row before the report";
  EXPECT_FALSE(fs::exists(dir / "dst/big.bin"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "dst"), fs::directory_iterator()), 0);
}

// A clock that runs a hook whenever it is read; MakeJob reads it while the job is being started.
class HookedClock : public Clock {
 public:
  std::time_t Now() const override {
    if (hook) hook();
    return MakeLocalTime(2024, 3, 5, 9);
  }
  std::function<void()> hook;
};

TEST(ControllerStopTest, AStopWhileTheJobIsBeingStartedIsKept) {
  ::setenv("TZ", "UTC", 1);
  TempDir dir;
  WriteFile(dir / "src/a.txt", "a");
  FixedClock logClock(MakeLocalTime(2024, 3, 5, 9));
  CActivityLog log(logClock);
  RecordingObserver observer;
  RecordingPrompts prompts;
  HookedClock clock;
  CProfileCatalogue catalogue(prompts, clock);
  CBackupController controller(log, observer, prompts, clock, catalogue);
  bool stopAccepted = false;
  bool stopped = false;
  clock.hook = [&] {
    if (stopped) return;
    stopped = true;
    stopAccepted = controller.Stop();
  };
  Profile p;
  p.name = "early stop";
  p.localSources.push_back({(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false});
  p.localDestFolder = (dir / "dst").string();
  ASSERT_EQ(controller.MakeJob(p), CBackupController::StartResult::Started);
  controller.WaitForJobEnd();
  EXPECT_TRUE(stopAccepted);
  EXPECT_EQ(log.Rows().end()[-2][2], "Backup has been stopped.") << "the last row before the report";
  EXPECT_FALSE(fs::exists(dir / "dst/a.txt")) << "the stopped job copied nothing";
}

TEST_F(ControllerTest, MonitorLaunchesAtTheExactSecondOnceAndRewritesTheNextRun) {
  const std::string path = SaveScheduled("daily", kScheduleDaily, 10, 0);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_FALSE(TickAt(9, 59, 59));
  EXPECT_TRUE(TickAt(10, 0, 0));
  EXPECT_EQ(monitor.CurrentTaskName(), "daily");
  EXPECT_TRUE(fs::exists(dir / "dst-daily/data.bin"));
  EXPECT_EQ(Rows()[1], "TASKNAME ********** Task Name:  daily **********");
  EXPECT_EQ(Rows().back(), "BACKUPEND Backup End.");

  const Profile after = ReadBack(path);
  EXPECT_TRUE(after.schedule.enabled);
  EXPECT_EQ(after.schedule.lastRunStamp, "202403051000");
  EXPECT_EQ(after.schedule.nextRun, MakeLocalTime(2024, 3, 6, 10, 0));
  EXPECT_NE(ReadFile(dir / "bin/profiles.ini").find("LASTRUN=2024-03-05 10:00:00"), std::string::npos);

  monitor.SetRunMissed(true);
  EXPECT_FALSE(TickAt(10, 0, 1));
  EXPECT_EQ(CountRows("BACKUPSTART"), 1u);
}

TEST_F(ControllerTest, EveryJobEndIsToldWithItsProfileAndExitCode) {
  ASSERT_EQ(controller.RunNow(QuickProfile("first")), CBackupController::StartResult::Started);
  controller.WaitForJobEnd();
  Profile noDestination = QuickProfile("second");
  noDestination.destIsLocal = false;  // the FTP server cannot be reached: the job ends at once
  noDestination.ftpDest = {"127.0.0.1", "1", "u", "p", "/x", "1"};
  ASSERT_EQ(controller.MakeJob(noDestination), CBackupController::StartResult::Started);
  controller.Shutdown();  // the end is told on the worker after it has gone idle: wait for the thread
  const auto ends = observer.Ends();
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_EQ(ends[0].profileName, "first");
  EXPECT_EQ(ends[0].exitCode, 0);
  EXPECT_EQ(ends[1].profileName, "second");
  EXPECT_LT(ends[1].exitCode, 0);
}

TEST_F(ControllerTest, AScheduledProfileThatCannotBeReadIsLoggedNotPrompted) {
  const std::string path = SaveScheduled("daily", kScheduleDaily, 10, 0);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  fs::remove(path);
  EXPECT_TRUE(TickAt(10, 0, 0));
  EXPECT_TRUE(prompts.messages.empty()) << "a tick must never wait for the user";
  EXPECT_EQ(observer.LaunchFailures(), (std::vector<std::string>{"daily"}));
  EXPECT_EQ(CountRows("ERROR"), 1u);
  EXPECT_EQ(CountRows("BACKUPSTART"), 0u);
  const std::optional<RunReport> report = ParseReportRowText(log.Rows().back()[2]);
  ASSERT_TRUE(report) << "the launch that did not happen ends with its report";
  EXPECT_EQ(report->outcome, RunOutcome::CouldNotStart);

  // A file that is no longer a profile is neither run as defaults nor rewritten as one.
  const std::string spoiled = SaveScheduled("spoiled", kScheduleDaily, 10, 1);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  WriteFile(spoiled, "<PROFILE TYPE=\"SCHEDULED\"><LOCALSRC>");
  EXPECT_TRUE(TickAt(10, 1, 0));
  EXPECT_EQ(observer.LaunchFailures(), (std::vector<std::string>{"daily", "spoiled"}));
  EXPECT_EQ(CountRows("ERROR"), 2u);
  EXPECT_EQ(CountRows("BACKUPSTART"), 0u);
  EXPECT_EQ(ReadFile(spoiled), "<PROFILE TYPE=\"SCHEDULED\"><LOCALSRC>");
}

TEST_F(ControllerTest, MissedRunsLaunchOnlyWithRunMissed) {
  SaveScheduled("daily", kScheduleDaily, 10, 0);
  const std::string later = SaveScheduled("later", kScheduleDaily, 10, 1);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  monitor.SetRunMissed(true);
  EXPECT_TRUE(TickAt(10, 5, 0));
  EXPECT_EQ(CountRows("BACKUPEND"), 1u);
  controller.WaitForJobEnd();

  // Without it the missed run is logged and told once, not at every tick, and skipped: the
  // schedule goes on with the next day's run.
  monitor.SetRunMissed(false);
  EXPECT_FALSE(TickAt(10, 5, 1));
  EXPECT_FALSE(TickAt(10, 5, 2));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_EQ(observer.Missed(), (std::vector<std::string>{"later"}));
  ASSERT_EQ(CountRows("ERROR"), 1u);
  EXPECT_EQ(Rows().back(), "ERROR The run of later due at 2024-03-05 10:01 was missed: \"Run missed task\" is off.");
  const std::optional<RunReport> missed = ParseReportRowText(log.Rows().back()[2]);
  ASSERT_TRUE(missed) << "a missed run ends with its report too";
  EXPECT_EQ(missed->outcome, RunOutcome::Missed);
  EXPECT_EQ(missed->started, MakeLocalTime(2024, 3, 5, 10, 1)) << "its due time";
  EXPECT_EQ(ReadBack(later).schedule.nextRun, MakeLocalTime(2024, 3, 6, 10, 1));
  EXPECT_TRUE(TickAt(10, 1, 0, 6));
  EXPECT_EQ(CountRows("BACKUPEND"), 2u);
}

TEST_F(ControllerTest, MonitorSkipsDisabledEntriesAndTheMinuteAlreadyRun) {
  SaveScheduled("off", kScheduleDaily, 10, 0, false);
  const std::string path = SaveScheduled("ran", kScheduleDaily, 10, 0);
  // As if the profile had been saved or run at 10:00 already.
  std::string text = ReadFile(path);
  const auto at = text.find("202403050900");
  ASSERT_NE(at, std::string::npos);
  WriteFile(path, text.replace(at, 12, "202403051000"));
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  monitor.SetRunMissed(true);

  EXPECT_FALSE(TickAt(10, 0, 0));
  EXPECT_FALSE(TickAt(10, 0, 59));
  EXPECT_TRUE(TickAt(10, 1, 0));
  EXPECT_EQ(monitor.CurrentTaskName(), "ran");
  EXPECT_FALSE(fs::exists(dir / "dst-off"));
}

TEST_F(ControllerTest, AOneTimeScheduleSwitchesItselfOff) {
  const std::string path = SaveScheduled("once", kScheduleOnce, 10, 0);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  EXPECT_TRUE(TickAt(10, 0, 0));
  EXPECT_FALSE(ReadBack(path).schedule.enabled);
  ASSERT_EQ(catalogue.Rows(ProfileList::Scheduled).size(), 1u);
  EXPECT_EQ(catalogue.Rows(ProfileList::Scheduled)[0].nextRun, LoadString(IDS_EMPTY_TIME));
  monitor.SetRunMissed(true);
  EXPECT_FALSE(TickAt(10, 2, 0));
}

TEST_F(ControllerTest, TwoDueProfilesRunOneAfterTheOther) {
  const std::string pathB = SaveScheduled("b", kScheduleDaily, 10, 0);
  SaveScheduled("a", kScheduleDaily, 10, 0);
  ASSERT_TRUE(catalogue.LoadCatalogue().ok());
  Gate gate;
  observer.onProgress = [&gate](long long) { gate.Wait(); };

  clock.Set(MakeLocalTime(2024, 3, 5, 10, 0, 0));
  EXPECT_TRUE(monitor.OnTick(clock.Now()));
  EXPECT_EQ(monitor.CurrentTaskName(), "a") << "table order";
  gate.WaitForWaiter();

  // Without runMissed the second is past its second and never runs.
  clock.Set(MakeLocalTime(2024, 3, 5, 10, 0, 1));
  EXPECT_FALSE(monitor.OnTick(clock.Now()));
  // With it, it is tried while the first runs (rows only, file untouched) and runs after it.
  monitor.SetRunMissed(true);
  EXPECT_TRUE(monitor.OnTick(clock.Now()));
  EXPECT_EQ(ReadBack(pathB).schedule.nextRun, MakeLocalTime(2024, 3, 5, 10, 0));
  EXPECT_EQ(CountRows("TASKNAME"), 2u);
  EXPECT_EQ(CountRows("BACKUPSTART"), 1u);

  gate.Open();
  controller.WaitForJobEnd();
  EXPECT_TRUE(TickAt(10, 0, 2));
  EXPECT_EQ(monitor.CurrentTaskName(), "b");
  EXPECT_EQ(CountRows("BACKUPEND"), 2u);
  EXPECT_EQ(ReadBack(pathB).schedule.nextRun, MakeLocalTime(2024, 3, 6, 10, 0));
}

// Called on the thread that ticks: here always the test's own.
struct RecordingEvents : SchedulerEvents {
  void OnSchedulerState(const SchedulerState& state) override { states.push_back(state); }
  void OnScheduleChanged(const ScheduleChange& change) override { changes.push_back(change); }
  void OnSchedulerProblem(const std::string& text) override { problems.push_back(text); }
  std::vector<SchedulerState> states;
  std::vector<ScheduleChange> changes;
  std::vector<std::string> problems;
};

// The window's host and the service's differ only in what they write into the lock file.
const std::string kHolders[] = {FormatString(IDS_SCHEDULER_HOLDER_WINDOW, 11L),
                                FormatString(IDS_SCHEDULER_HOLDER_MONITOR, 12L)};

// The scheduler host over the controller's fixture.
class SchedulerHostTest : public ControllerTest {
 protected:
  std::unique_ptr<CSchedulerHost> MakeHost(const std::string& holder) {
    return std::make_unique<CSchedulerHost>(controller, log, observer, clock, events, dir / CSchedulerLock::kFileName,
                                            holder);
  }

  void TickAt(CSchedulerHost& host, int hour, int minute, int second) {
    clock.Set(MakeLocalTime(2024, 3, 5, hour, minute, second));
    host.Tick(clock.Now());
    controller.WaitForJobEnd();
  }

  RecordingEvents events;
};

TEST_F(SchedulerHostTest, ATickThatComesLateOverTheDueSecondStillLaunchesOnce) {
  for (const std::string& holder : kHolders) {
    for (const bool runMissed : {false, true}) {
      SCOPED_TRACE(holder + (runMissed ? ", run missed on" : ", run missed off"));
      log.Clear();
      const std::string path = SaveScheduled("daily", kScheduleDaily, 10, 0);
      auto host = MakeHost(holder);
      host->SetRunMissed(runMissed);
      TickAt(*host, 9, 59, 59);
      // 1.5 s late: the tick due just after 10:00:00 wakes at 10:00:01.5 and reads 10:00:01.
      TickAt(*host, 10, 0, 1);
      TickAt(*host, 10, 0, 2);
      EXPECT_EQ(CountRows("BACKUPSTART"), 1u);
      EXPECT_EQ(CountRows("ERROR"), 0u) << "not reported missed";
      EXPECT_TRUE(observer.Missed().empty());
      Profile after;
      ASSERT_TRUE(ReadProfile(path, after, clock.Now()).ok());
      EXPECT_EQ(after.schedule.nextRun, MakeLocalTime(2024, 3, 6, 10, 0));
    }
  }
}

TEST_F(SchedulerHostTest, TheEventAfterARunCarriesItsNewTimes) {
  SaveScheduled("daily", kScheduleDaily, 10, 0);
  const std::string once = SaveScheduled("once", kScheduleOnce, 10, 0);
  auto host = MakeHost(kHolders[0]);
  host->SetRunMissed(true);
  TickAt(*host, 9, 59, 59);
  EXPECT_TRUE(events.changes.empty()) << "taking the lock changes no profile";
  TickAt(*host, 10, 0, 0);  // "daily" comes first in the table: one launch per tick
  TickAt(*host, 10, 0, 1);  // hence "once" is launched at the next
  ASSERT_EQ(events.changes.size(), 2u);
  const ScheduleChange& daily = events.changes[0];
  EXPECT_EQ(daily.row.name, "daily");
  EXPECT_EQ(daily.lastRun, MakeLocalTime(2024, 3, 5, 10, 0));
  EXPECT_EQ(daily.row.lastRun, "2024-03-05 10:00:00");
  EXPECT_EQ(daily.nextRun, MakeLocalTime(2024, 3, 6, 10, 0));
  EXPECT_TRUE(daily.enabled);
  EXPECT_EQ(events.changes[1].profileFile, once);
  EXPECT_FALSE(events.changes[1].enabled) << "a one-time schedule ends with its run";
  EXPECT_EQ(events.changes[1].row.nextRun, LoadString(IDS_EMPTY_TIME));
}

TEST_F(SchedulerHostTest, AProfileSavedWhileTheHostRunsIsLaunchedWhenDue) {
  auto host = MakeHost(kHolders[1]);
  TickAt(*host, 9, 0, 0);
  ASSERT_TRUE(events.states.back().here);
  EXPECT_EQ(events.states.back().scheduled, 0u);
  SaveScheduled("new", kScheduleDaily, 10, 0);
  TickAt(*host, 10, 0, 0);
  EXPECT_EQ(CountRows("BACKUPSTART"), 1u);
  EXPECT_EQ(events.states.back().scheduled, 1u);
}

TEST_F(SchedulerHostTest, StandsByWhileAnotherHoldsTheLockAndTakesOverWithoutMakingUpItsRuns) {
  SaveScheduled("daily", kScheduleDaily, 10, 0);
  auto other = std::make_unique<CSchedulerLock>(dir / CSchedulerLock::kFileName, "the other one");
  ASSERT_TRUE(other->TryAcquire());
  other->SetRunning("daily");
  auto host = MakeHost(kHolders[0]);
  host->SetRunMissed(false);
  TickAt(*host, 10, 0, 0);
  EXPECT_FALSE(host->Held());
  ASSERT_EQ(events.states.size(), 1u);
  EXPECT_EQ(events.states[0], (SchedulerState{false, "the other one", "daily", "", 0}));
  TickAt(*host, 10, 0, 1);
  EXPECT_EQ(events.states.size(), 1u) << "told again only when it changes";

  other.reset();
  TickAt(*host, 10, 0, 5);
  EXPECT_TRUE(host->Held());
  EXPECT_EQ(events.states.back(), (SchedulerState{true, "", "", "", 1}));
  EXPECT_EQ(CountRows("BACKUPSTART"), 0u) << "the other holder's 10:00 is not made up for at the take-over";
}

// Counts the states its thread tells and lets the test wait for them.
class CountingEvents : public SchedulerEvents {
 public:
  void OnSchedulerState(const SchedulerState&) override {
    {
      std::lock_guard lock(mutex_);
      ++states_;
    }
    told_.notify_all();
  }
  void WaitForStates(int count) {
    std::unique_lock lock(mutex_);
    told_.wait(lock, [&] { return states_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable told_;
  int states_ = 0;
};

TEST_F(ControllerTest, TheSchedulersThreadTicksUntilStoppedWhileOtherThreadsAskItThings) {
  CountingEvents counting;
  CSchedulerHost host(controller, log, observer, clock, counting, dir / CSchedulerLock::kFileName, "test");
  host.Tick(clock.Now());
  host.StartTicking();
  // Asked from this thread while the host's own ticks: each request is taken at a tick of its own.
  host.SetRunMissed(true);
  host.ReadSettingsAgain();
  host.TellStateAgain();
  counting.WaitForStates(2);
  host.StopTicking();
  EXPECT_TRUE(host.Held());
  EXPECT_TRUE(host.RunMissed());
}

}  // namespace
}  // namespace tarnwick::test
