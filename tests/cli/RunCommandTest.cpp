// tarnwick-cli run, driven as a user runs it: the built program started from a program folder of
// its own, its rows read from stdout and its exit status checked.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "log/RunLogFile.h"
#include "profiles/Profile.h"
#include "support/CliSandbox.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

using CliResult = ProcessResult;

class RunCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);  // also for the program started
    ::tzset();
    WriteFile(dir / "src/a.txt", "alpha");
    WriteFile(dir / "src/sub/b.txt", "beta");
  }

  // Saves a quick profile backing up src (recursive, all files) to dst.
  Profile SaveProfile(const std::string& name, const std::function<void(Profile&)>& adjust = {}) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = name;
    p.localSources.push_back({(dir / "src").string(), "+[*.*]", ItemKind::LocalFolder, true});
    p.localDestFolder = (dir / "dst").string();
    if (adjust) adjust(p);
    ProfilePathFor(p);
    EXPECT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
    return p;
  }

  // Makes src one large file that keeps a copy busy long enough to be stopped, with an older copy
  // of it at the destination.
  void UseHugeSource() {
    fs::remove_all(dir / "src");
    fs::create_directories(dir / "src");
    ASSERT_TRUE(AllocateBusyFile(dir / "src/huge.bin", std::uintmax_t{4} << 30));
    WriteFile(dir / "dst/src/huge.bin", "older copy");
  }

  // Saves a scheduled profile as if saved yesterday for 00:00 today, and turns "run missed" on:
  // due and missed, the monitor launches it at its first tick.
  Profile SaveMissedSchedule(const std::string& name) {
    const std::time_t today = std::time(nullptr) / 86400 * 86400;
    Profile p = SaveProfile(name, [&](Profile& edited) {
      edited.isScheduled = true;
      edited.schedule.enabled = true;
      edited.schedule.startTime = MakeLocalTime(1980, 2, 6, LocalFields(today).tm_hour, 0);
      edited.schedule.startDate = today;
      edited.schedule.hasStartDate = 1;
    });
    ProgramSettings settings;
    settings.setRunMissed(true);
    EXPECT_TRUE(settings.WriteSettings((dir / ProgramSettings::kFileName).string()).ok());
    EXPECT_TRUE(WriteProfile(p, today - 3600).ok());
    return p;
  }

  // A run of the huge source stopped mid-file: stopped as its last row before its report, which
  // counts the file as skipped, no end, the older copy intact and no part of the new one.
  void ExpectStoppedWithoutAPart(const CliResult& r) {
    const auto lines = SplitLines(r.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines.end()[-2].find("\tBACKUPSTOPPED\tBackup has been stopped."), std::string::npos) << r.out;
    EXPECT_NE(lines.back().find("\tREPORT\toutcome=stopped written=0 skipped=1 failed=0 "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("BACKUPEND"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "dst/src/huge.bin"), "older copy");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "dst/src"), fs::directory_iterator()), 1);
  }

  pid_t Start(const std::vector<std::string>& args, int errFd = -1) { return dir.Start(args, errFd); }
  CliResult Finish(pid_t pid) { return dir.Finish(pid); }
  CliResult Run(const std::vector<std::string>& args) { return dir.Run(args); }
  void WaitForOutput(const std::string& text) { dir.WaitForOutput(text); }

  CliSandbox dir;
};

TEST_F(RunCommandTest, ASuccessfulRunPrintsEveryRowAndExitsZero) {
  const Profile p = SaveProfile("docs", [](Profile& edited) {
    edited.isScheduled = true;
    edited.schedule.enabled = true;
  });
  const std::string before = ReadFile(p.filePath);
  const CliResult r = Run({"run", "docs"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "") << "no progress line when stderr is not a terminal";

  const auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 7u) << r.out;
  EXPECT_NE(lines[6].find("\tREPORT\toutcome=completed written=2 skipped=0 failed=0 bytes=9 "), std::string::npos)
      << "the run's report ends it: " << lines[6];
  EXPECT_EQ(lines[0], "##### TARNWICK #####\t \t ");
  const std::regex row(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t([A-Z]+)\t(.*))");
  const std::vector<std::string> expected{
      "TASKNAME\t********** Task Name:  docs **********", "BACKUPSTART\tBackup Start.",
      "BACKUPFILE\tBackup file " + (dir / "src/sub/b.txt").string() + ".",
      "BACKUPFILE\tBackup file " + (dir / "src/a.txt").string() + ".", "BACKUPEND\tBackup End."};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i + 1], m, row)) << lines[i + 1];
    EXPECT_EQ(m[1].str() + "\t" + m[2].str(), expected[i]);
  }
  EXPECT_EQ(ReadFile(dir / "dst/src/sub/b.txt"), "beta");
  EXPECT_EQ(ReadFile(p.filePath), before) << "a scheduled profile run by hand keeps its file";
  EXPECT_NE(ReadFile(dir / "bin/profiles.ini").find("LASTRUN="), std::string::npos);
}

TEST_F(RunCommandTest, AnyFailureExitsOne) {
  SaveProfile("missing", [this](Profile& p) {
    p.localSources.push_back({(dir / "nothing-here.txt").string(), "", ItemKind::LocalFile, false});
  });
  CliResult r = Run({"run", "missing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\tERROR\tBackup " + (dir / "nothing-here.txt").string() + " Failed.\n"), std::string::npos);
  EXPECT_NE(r.out.find("\tBACKUPEND\tBackup End.\n"), std::string::npos) << "the run goes on to its end";

  SaveProfile("ftp", [](Profile& p) {
    p.destIsLocal = false;
    p.ftpDest = {"127.0.0.1", "1", "user", "pw", "/backup", "1", false};
  });
  r = Run({"run", "ftp"});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(r.out.find("BACKUPFILE"), std::string::npos);
}

TEST_F(RunCommandTest, ControlCharactersInNamesNeitherReachTheTerminalNorForgeRows) {
  WriteFile(dir / "src/evil\n2026-01-01 00:00:00\tBACKUPEND\tBackup End.\x1b]0;owned\x07.txt", "x");
  SaveProfile("docs");
  const CliResult r = Run({"run", "docs"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << "no escape sequence reaches the terminal";
  const auto lines = SplitLines(r.out);
  EXPECT_EQ(lines.size(), 8u) << "one row, one line:\n" << r.out;
  std::size_t ends = 0;
  for (const auto& line : lines) ends += line.find("\tBACKUPEND\t") != std::string::npos;
  EXPECT_EQ(ends, 1u);
}

TEST_F(RunCommandTest, WhatCannotStartExitsTwo) {
  EXPECT_EQ(Run({"run", "nobody"}).status, 2);
  EXPECT_EQ(Run({"run"}).status, 2);
  EXPECT_EQ(Run({"run", "../escape"}).status, 2);
  SaveProfile("docs");
  EXPECT_EQ(Run({"run", "docs", "--log"}).status, 2);
  EXPECT_FALSE(fs::exists(dir / "dst"));
}

// A file that is not a profile would run as defaults; it is refused before anything starts.
TEST_F(RunCommandTest, AFileThatIsNotAProfileIsRefused) {
  WriteFile(ProfileFileOf("junk"), "<OTHER/>");
  const CliResult r = Run({"run", "junk"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tarnwick-cli: " + ProfileFileOf("junk") +
                       ": The file could not be read as a profile: it holds no PROFILE element.\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(ProfileFileOf("junk")), "<OTHER/>");
  EXPECT_FALSE(fs::exists(dir / "bin/profiles.ini")) << "no run, no stamp";
}

// A profile file put there under a name no new profile can be given runs and is stamped.
TEST_F(RunCommandTest, ProfilesWithNamesNoNewProfileCouldHaveRun) {
  for (const std::string& name : {std::string(240, 'l'), std::string("tab\there"), std::string("esc\x1b[31m")}) {
    Profile p = SaveProfile("template");
    p.filePath = ProfileFileOf(name);
    ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
    const CliResult r = Run({"run", name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\tBACKUPEND\tBackup End.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  }
  const std::string ini = ReadFile(dir / "bin/profiles.ini");
  EXPECT_NE(ini.find("[" + std::string(240, 'l') + "]\nLASTRUN="), std::string::npos) << ini;
  EXPECT_NE(ini.find("[tab/09here]\nLASTRUN="), std::string::npos) << ini;
  EXPECT_NE(ini.find("[esc/1B[31m]\nLASTRUN="), std::string::npos) << ini;
}

TEST_F(RunCommandTest, AProfileWithoutADestinationFolderDoesNotStart) {
  // Its targets would be joined onto the root of the file system.
  const std::string name = "tarnwick-no-destination-" + std::to_string(::getpid()) + ".txt";
  WriteFile(dir / "src" / name, "stray");
  SaveProfile("nowhere", [&](Profile& p) {
    p.localSources = {{(dir / "src" / name).string(), "", ItemKind::LocalFile, false}};
    p.localDestFolder.clear();
  });
  const CliResult r = Run({"run", "nowhere"});
  const bool strayCopy = fs::exists(fs::path("/") / name);
  fs::remove(fs::path("/") / name);
  EXPECT_FALSE(strayCopy);
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.err.find("Please specify backup destination."), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("BACKUPSTART"), std::string::npos);
}

TEST_F(RunCommandTest, TheLogOptionSavesTheRowsInTheLogFileFormat) {
  SaveProfile("docs");
  const CliResult r = Run({"run", "docs", "--log", (dir / "run.log").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto rows = SplitLines(r.out);
  const std::string saved = ReadFile(dir / "run.log");
  const auto lines = SplitLines(saved);
  ASSERT_EQ(lines.size(), rows.size() * 3);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(lines[3 * i] + "\t" + lines[3 * i + 1] + "\t" + lines[3 * i + 2], rows[i]);
  }
  EXPECT_EQ(saved.find('\r'), std::string::npos);
}

TEST_F(RunCommandTest, ATerminalGetsAProgressLine) {
  SaveProfile("docs");
  int master = -1;
  int slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const pid_t pid = Start({"run", "docs"}, slave);
  ::close(slave);
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  EXPECT_EQ(Finish(pid).status, 0);
  EXPECT_NE(seen.find("Backing up " + (dir / "src/a.txt").string() + " | 0 KB | 100%"), std::string::npos) << seen;
}

TEST_F(RunCommandTest, SigtermStopsTheRunWithoutLeavingAPart) {
  ASSERT_NO_FATAL_FAILURE(UseHugeSource());
  SaveProfile("huge");
  const pid_t pid = Start({"run", "huge"});
  WaitForOutput("BACKUPFILE");
  ::kill(pid, SIGTERM);
  const CliResult r = Finish(pid);
  EXPECT_EQ(r.status, 1);
  ExpectStoppedWithoutAPart(r);
}

TEST_F(RunCommandTest, TheMonitorLaunchesAMissedRunAndEndsOnSigint) {
  const Profile p = SaveMissedSchedule("nightly");
  const pid_t pid = Start({"monitor"});
  WaitForOutput("BACKUPEND");
  ::kill(pid, SIGINT);
  const CliResult r = Finish(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\tTASKNAME\t********** Task Name:  nightly **********\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\tBACKUPEND\tBackup End.\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "dst/src/a.txt"), "alpha");
  Profile after;
  ASSERT_TRUE(ReadProfile(p.filePath, after, std::time(nullptr)).ok());
  EXPECT_GT(after.schedule.nextRun, std::time(nullptr)) << "the file holds the next run";

  // The unattended run is kept in the month's history, and `log --last` shows it.
  EXPECT_EQ(CRunLogFile::MonthFiles(dir / "bin/Logs").size(), 1u);
  const CliResult last = Run({"log", "--last"});
  EXPECT_EQ(last.status, 0) << last.err;
  const auto rows = SplitLines(last.out);
  ASSERT_GE(rows.size(), 4u) << last.out;
  EXPECT_EQ(rows.front(), "##### TARNWICK #####\t \t ");
  EXPECT_NE(rows[1].find("\tTASKNAME\t********** Task Name:  nightly **********"), std::string::npos);
  EXPECT_NE(rows.end()[-3].find("\tBACKUPEND\tBackup End."), std::string::npos);
  EXPECT_NE(rows.end()[-2].find("\tREPORT\toutcome=completed "), std::string::npos);
  EXPECT_EQ(rows.back(), "nightly: Backup completed: 2 file(s), 9 bytes in 0:00:00.") << "read from its report";
}

TEST_F(RunCommandTest, LogLastAndServiceStatusTellTheResultOfHistoriesOfThisVersionAndOlderOnes) {
  struct Case {
    const char* what;
    std::string rows;  // after the separator and task-name rows
    std::string result;
    std::string status;  // what `service status` says of it
  };
  const Case cases[] = {
      {"this version, with failures",
       "2024-03-05 09:00:01\nERROR\nBackup /a Failed.\n2024-03-05 09:00:02\nBACKUPEND\nBackup End.\n"
       "2024-03-05 09:00:02\nREPORT\noutcome=completed-with-failures written=4 skipped=0 failed=1 bytes=2048 "
       "failure-rows=1 started=1709629200 ended=1709629322\n",
       "old: Backup completed with failed files: 4 file(s), 2.0 KB in 0:02:02, 1 failed.",
       "completed with failed files"},
      {"an older version",
       "2024-03-05 09:00:01\nERROR\nBackup /a Failed.\n2024-03-05 09:00:02\nBACKUPEND\nBackup End.\n",
       "old: Backup completed with failed files.", "completed with failed files"},
      {"an older version, stopped", "2024-03-05 09:00:02\nBACKUPSTOPPED\nBackup has been stopped.\n",
       "old: Backup stopped.", "stopped"},
      {"this version, missed",
       "2024-03-05 09:00:00\nERROR\nThe run was missed.\n2024-03-05 09:00:00\nREPORT\noutcome=missed "
       "failure-rows=1 started=1709629200 ended=1709629200\n",
       "old: Backup missed.", "missed"},
      {"cut off", "2024-03-05 09:00:01\nBACKUPFILE\nBackup file /a.\n", "old: still running or cut off",
       "still running or cut off"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "bin/Logs");
    WriteFile(
        dir / "bin/Logs/monitor-2024-03.log",
        "##### TARNWICK #####\n \n \n2024-03-05 09:00:00\nTASKNAME\n********** Task Name:  old **********\n" + c.rows);
    const CliResult last = Run({"log", "--last"});
    EXPECT_EQ(last.status, 0) << c.what << last.err;
    const auto lines = SplitLines(last.out);
    ASSERT_FALSE(lines.empty()) << c.what;
    EXPECT_EQ(lines.back(), c.result) << c.what;
    const CliResult status = Run({"service", "status"});
    EXPECT_NE(status.out.find("Last run:  old at 2024-03-05 09:00:00, " + c.status + " "), std::string::npos)
        << c.what << "\n"
        << status.out;
  }
}

TEST_F(RunCommandTest, OfTwoMonitorsOneRunsTheScheduleAndTheOtherTakesOverWhenItEnds) {
  SaveMissedSchedule("first");
  const pid_t a = dir.StartNamed("a", {"monitor"});
  ASSERT_TRUE(dir.WaitForText("a.err", "monitoring"));
  const pid_t b = dir.StartNamed("b", {"monitor"});
  ASSERT_TRUE(dir.WaitForText("b.err", "standing by until it ends"));
  EXPECT_TRUE(dir.WaitForText("a.out", "BACKUPEND"));
  ::kill(a, SIGINT);
  const CliResult first = dir.FinishNamed("a", a);

  ASSERT_TRUE(dir.WaitForText("b.err", "monitoring"));
  SaveMissedSchedule("second");
  EXPECT_TRUE(dir.WaitForText("b.out", "Task Name:  second"));
  EXPECT_TRUE(dir.WaitForText("b.out", "BACKUPEND"));
  ::kill(b, SIGINT);
  const CliResult second = dir.FinishNamed("b", b);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.status, 0);
  const auto count = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(first.out + second.out, "Task Name:  first"), 1u) << first.out << second.out;
  EXPECT_EQ(count(second.out, "Task Name:  second"), 1u);
}

TEST_F(RunCommandTest, StopEndsTheMonitorsRunningBackupAndTheMonitorGoesOn) {
  CliResult stop = Run({"stop"});
  EXPECT_EQ(stop.status, 1);
  EXPECT_NE(stop.err.find("tarnwick-cli: No background service answers at " + (dir / "bin/scheduler.sock").string() +
                          " (No such file or directory)."),
            std::string::npos)
      << stop.err;

  ASSERT_NO_FATAL_FAILURE(UseHugeSource());
  SaveMissedSchedule("huge");
  const pid_t pid = Start({"monitor"});
  ASSERT_TRUE(dir.WaitForOutput("BACKUPFILE"));
  // The monitor says what it runs right after the launch; the file row may come first.
  for (int i = 0; i < 100 && (stop = Run({"stop"})).status != 0; ++i) ::usleep(50000);
  EXPECT_EQ(stop.status, 0) << stop.err;
  EXPECT_NE(stop.out.find("the background service (tarnwick-cli monitor, process " + std::to_string(pid) +
                          ") is stopping the backup of huge."),
            std::string::npos)
      << stop.out;
  EXPECT_TRUE(dir.WaitForOutput("BACKUPSTOPPED"));
  EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the monitor goes on";
  ::kill(pid, SIGINT);
  const CliResult r = Finish(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectStoppedWithoutAPart(r);
}

TEST_F(RunCommandTest, StopReachesAMonitorInAnotherPidNamespace) {
  if (::geteuid() != 0 || std::system("/usr/bin/unshare --pid --fork --mount-proc true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "needs root and unshare to start the monitor in a pid namespace of its own";
  }
  ASSERT_NO_FATAL_FAILURE(UseHugeSource());
  SaveMissedSchedule("huge");
  // As in a container sharing the data folder: the monitor is process 1 of its namespace, and the
  // lock file names that 1.
  const pid_t unshare = StartProcess({"/usr/bin/unshare", "--pid", "--fork", "--mount-proc",
                                      (dir.ProgramFolder() / "tarnwick-cli").string(), "monitor"},
                                     dir.path(), dir / "out", dir / "err");
  ASSERT_TRUE(dir.WaitForOutput("BACKUPFILE")) << ReadFile(dir / "err");
  EXPECT_NE(ReadFile(dir / "bin/scheduler.lock").find("\n1\n"), std::string::npos) << "its own pid, not ours";
  CliResult stop;
  for (int i = 0; i < 100 && (stop = Run({"stop"})).status != 0; ++i) ::usleep(50000);
  EXPECT_EQ(stop.status, 0) << stop.err;
  EXPECT_NE(stop.out.find("(tarnwick-cli monitor, process 1) is stopping the backup of huge."), std::string::npos)
      << stop.out;
  EXPECT_TRUE(dir.WaitForOutput("BACKUPSTOPPED"));
  EXPECT_EQ(::waitpid(unshare, nullptr, WNOHANG), 0) << "the monitor goes on";

  // Ended through its process as seen from here, the one unshare forked.
  std::istringstream children(
      ReadFile("/proc/" + std::to_string(unshare) + "/task/" + std::to_string(unshare) + "/children"));
  pid_t monitor = 0;
  children >> monitor;
  ASSERT_GT(monitor, 0);
  ::kill(monitor, SIGINT);
  const CliResult r = dir.Finish(unshare, std::chrono::seconds(60));
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectStoppedWithoutAPart(r);
}

TEST_F(RunCommandTest, TheMonitorRunsWithoutCoreDumps) {
  SaveProfile("docs");
  const pid_t pid = Start({"monitor"});
  ASSERT_TRUE(dir.WaitForText("err", "monitoring"));
  const std::string limits = ReadFile("/proc/" + std::to_string(pid) + "/limits");
  ::kill(pid, SIGINT);
  EXPECT_EQ(Finish(pid).status, 0);
  EXPECT_TRUE(std::regex_search(limits, std::regex("Max core file size +0 +0 +bytes"))) << limits;
}

TEST_F(RunCommandTest, TheMonitorStopsARunningBackupBeforeItEnds) {
  ASSERT_NO_FATAL_FAILURE(UseHugeSource());
  SaveMissedSchedule("huge");
  const pid_t pid = Start({"monitor"});
  EXPECT_TRUE(dir.WaitForOutput("BACKUPFILE"));  // the monitor is ended either way
  ::kill(pid, SIGINT);
  const CliResult r = Finish(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectStoppedWithoutAPart(r);
}

}  // namespace
}  // namespace tarnwick::test

namespace tarnwick::test {
namespace {

TEST_F(RunCommandTest, VerifyChecksTheBackupAloneAndExitsOneOnAMismatch) {
  SaveProfile("checked", [](Profile& p) { p.verifyAfterBackup = true; });
  CliResult r = Run({"run", "checked"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\tVERIFY\tVerify done: 2 checked, 0 failed.\n"), std::string::npos) << r.out;

  r = Run({"verify", "checked"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("BACKUP"), std::string::npos) << "nothing is backed up: " << r.out;

  WriteFile(dir / "dst/src/a.txt", "alphabet");
  r = Run({"verify", "checked"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(
      r.out.find("\tERROR\tVerify " + (dir / "dst/src/a.txt").string() + " failed: it holds 8 bytes, its source 5.\n"),
      std::string::npos)
      << r.out;
  EXPECT_EQ(Run({"verify", "nobody"}).status, 2);
}

}  // namespace
}  // namespace tarnwick::test
