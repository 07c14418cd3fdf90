#include "log/RunLogFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/StringTable.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// Noon on the 15th of a month, UTC.
std::time_t MidMonth(int year, int month) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = 15;
  t.tm_hour = 12;
  return timegm(&t);
}

std::vector<std::string> Names(const std::vector<fs::path>& files) {
  std::vector<std::string> names;
  names.reserve(files.size());
  for (const auto& f : files) names.push_back(f.filename().string());
  return names;
}

class RunLogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }

  // One run as the service logs it: separator, task name, start, the given rows.
  void LogRun(const std::string& name, const std::vector<std::pair<int, std::string>>& rows) {
    log_.LogActionText(LOG_SEPARATOR, "");
    log_.LogActionText(LOG_TASKNAME, FormatString(IDS_TASK_NAME_ROW, name.c_str()));
    log_.LogAction(LOG_BACKUPSTART, IDS_BACKUP_START);
    for (const auto& [code, text] : rows) log_.LogActionText(code, text);
  }

  TempDir dir_;
  FixedClock clock_{MidMonth(2024, 12)};
  CActivityLog log_{clock_};
  CRunLogFile history_{dir_ / "Logs", clock_};
};

TEST_F(RunLogFileTest, RowsGoToTheFileOfTheirMonthInTheLogFileFormat) {
  log_.AddListener(&history_);
  LogRun("nightly", {{LOG_BACKUPEND, "Backup End."}});
  clock_.Set(MidMonth(2025, 1));
  LogRun("nightly", {{LOG_ERROR, "Backup /a Failed."}});
  log_.RemoveListener(&history_);

  EXPECT_EQ(Names(CRunLogFile::MonthFiles(dir_ / "Logs")),
            (std::vector<std::string>{"monitor-2024-12.log", "monitor-2025-01.log"}));
  // Read back by the log's own loader, as Log -> Open... reads it.
  std::vector<LogRow> december;
  ASSERT_TRUE(ReadLogFile((dir_ / "Logs/monitor-2024-12.log").string(), december));
  ASSERT_EQ(december.size(), 4u);
  EXPECT_EQ(december[1][2], "********** Task Name:  nightly **********");
  EXPECT_EQ(december[3], (LogRow{"2024-12-15 12:00:00", "BACKUPEND", "Backup End."}));
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "Logs/monitor-2025-01.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the history names files and servers";
  EXPECT_TRUE(history_.FirstFailure().ok());
}

TEST_F(RunLogFileTest, ANewMonthRemovesWhatIsMoreThanAYearOld) {
  fs::create_directories(dir_ / "Logs");
  for (const char* name : {"monitor-2023-12.log", "monitor-2024-01.log", "monitor-2024-02.log", "monitor-2024-13.log",
                           "monitor-2023-11.log.bak", "notes.txt"}) {
    WriteFile(dir_ / "Logs" / name, "x\n");
  }
  clock_.Set(MidMonth(2025, 1));
  ASSERT_TRUE(history_.Append({"t", "BACKUPEND", "Backup End."}).ok());
  // January 2025 and the eleven months before it stay; files that are not month files are not ours.
  EXPECT_EQ(Names(CRunLogFile::MonthFiles(dir_ / "Logs")),
            (std::vector<std::string>{"monitor-2024-02.log", "monitor-2025-01.log"}));
  EXPECT_TRUE(fs::exists(dir_ / "Logs/monitor-2024-13.log"));
  EXPECT_TRUE(fs::exists(dir_ / "Logs/monitor-2023-11.log.bak"));
  EXPECT_TRUE(fs::exists(dir_ / "Logs/notes.txt"));
}

TEST_F(RunLogFileTest, TheLastRunIsFoundAlsoWhenItBeganLastMonth) {
  log_.AddListener(&history_);
  LogRun("older", {{LOG_BACKUPEND, "Backup End."}});
  LogRun("late", {{LOG_BACKUPFILE, "Backup file /a."}});
  clock_.Set(MidMonth(2025, 1));
  log_.LogActionText(LOG_CONNECTFAILED, "Failed to connect to host.");
  log_.LogAction(LOG_BACKUPEND, IDS_BACKUP_END);
  log_.RemoveListener(&history_);

  const LastRun last = CRunLogFile::FindLastRun(dir_ / "Logs");
  EXPECT_EQ(last.profileName, "late");
  EXPECT_EQ(last.startTime, "2024-12-15 12:00:00");
  ASSERT_EQ(last.rows.size(), 6u);
  EXPECT_EQ(last.rows.front()[0], LoadString(IDS_SEPARATOR_ROW));
  EXPECT_TRUE(last.loggedEnd.ended);
  EXPECT_TRUE(last.loggedEnd.failed);
  EXPECT_FALSE(last.loggedEnd.Succeeded());
  EXPECT_TRUE(CRunLogFile::FindLastRun(dir_ / "nothing-here").rows.empty());
}

TEST_F(RunLogFileTest, AFolderThatCannotBeWrittenIsReportedOnce) {
  WriteFile(dir_ / "Logs", "a file where the folder should be");
  EXPECT_FALSE(history_.Append({"t", "BACKUPEND", "Backup End."}).ok());
  const Status failure = history_.FirstFailure();
  EXPECT_EQ(failure.code(), StatusCode::IoError);
  EXPECT_NE(failure.path().find("monitor-2024-12.log"), std::string::npos) << failure.ToString();
}

}  // namespace
}  // namespace tarnwick
