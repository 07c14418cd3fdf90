#include "log/ActivityLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/StringTable.h"
#include "support/RecordingPrompts.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::RecordingPrompts;
using test::TempDir;
using test::WriteFile;

void SetZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

class ActivityLogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetZone("UTC"); }

  FixedClock clock_{1700000000};  // 2023-11-14 22:13:20 UTC
  CActivityLog log_{clock_};
  RecordingPrompts prompts_;
};

// Records what the listeners hear, from any thread.
class RecordingListener : public ActivityLogListener {
 public:
  void OnRowInserted(std::size_t position, const LogRow& row) override {
    std::lock_guard lock(mutex);
    events.push_back("insert " + std::to_string(position) + " " + row[2]);
  }
  void OnCleared() override {
    std::lock_guard lock(mutex);
    events.push_back("clear");
  }
  void OnRowsLoaded(std::size_t first, std::size_t count) override {
    std::lock_guard lock(mutex);
    events.push_back("load " + std::to_string(first) + " " + std::to_string(count));
  }
  std::mutex mutex;
  std::vector<std::string> events;
};

TEST_F(ActivityLogTest, RowsCarryTimeKeywordAndDescription) {
  log_.LogAction(LOG_BACKUPSTART, IDS_BACKUP_START);
  log_.LogActionText(LOG_BACKUPFILE, "Backup /a/b Ok.");
  log_.LogActionText(3, "three");
  log_.LogActionText(99, "ninety-nine");
  log_.LogActionText(-1, "negative");
  log_.LogActionText(LOG_SEPARATOR, "ignored");

  const std::vector<LogRow> rows = log_.Rows();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (LogRow{"2023-11-14 22:13:20", "BACKUPSTART", "Backup Start."}));
  EXPECT_EQ(rows[1], (LogRow{"2023-11-14 22:13:20", "BACKUPFILE", "Backup /a/b Ok."}));
  EXPECT_EQ(rows[2], (LogRow{"2023-11-14 22:13:20", "UNKNOWN ACTION", "three"}));
  EXPECT_EQ(rows[3][1], "UNKNOWN ACTION");
  EXPECT_EQ(rows[4][1], "UNKNOWN ACTION");
  EXPECT_EQ(rows[5], (LogRow{"##### TARNWICK #####", " ", " "}));
  EXPECT_EQ(log_.InsertPosition(), 6u);
}

TEST_F(ActivityLogTest, TimeColumnIsLocalTime) {
  SetZone("CET-1CEST,M3.5.0,M10.5.0/3");
  clock_.Set(1688212800);  // 2023-07-01 12:00:00 UTC, summer time in CET
  log_.LogActionText(LOG_BACKUPEND, "x");
  EXPECT_EQ(log_.Rows()[0][0], "2023-07-01 14:00:00");
}

TEST_F(ActivityLogTest, ClearRestartsAtTheFirstRow) {
  RecordingListener listener;
  log_.AddListener(&listener);
  log_.LogActionText(LOG_ERROR, "one");
  log_.LogActionText(LOG_ERROR, "two");
  log_.Clear();
  EXPECT_EQ(log_.RowCount(), 0u);
  EXPECT_EQ(log_.InsertPosition(), 0u);
  log_.LogActionText(LOG_ERROR, "three");
  EXPECT_EQ(log_.Rows()[0][2], "three");
  log_.RemoveListener(&listener);
  log_.LogActionText(LOG_ERROR, "unheard");
  EXPECT_EQ(listener.events, (std::vector<std::string>{"insert 0 one", "insert 1 two", "clear", "insert 0 three"}));
}

TEST_F(ActivityLogTest, RowsNotKeptStillReachTheListenersInOrder) {
  RecordingListener listener;
  log_.AddListener(&listener);
  log_.KeepRows(false);
  log_.LogActionText(LOG_BACKUPFILE, "one");
  log_.LogActionText(LOG_BACKUPFILE, "two");
  EXPECT_EQ(log_.RowCount(), 0u) << "a headless run holds no row per file";
  log_.KeepRows(true);
  log_.LogActionText(LOG_BACKUPEND, "three");
  EXPECT_EQ(log_.RowCount(), 1u);
  EXPECT_EQ(log_.Rows()[0][2], "three");
  log_.RemoveListener(&listener);
  EXPECT_EQ(listener.events, (std::vector<std::string>{"insert 0 one", "insert 1 two", "insert 2 three"}));
}

TEST_F(ActivityLogTest, SaveWritesThreeLinesPerRowAndAlwaysAppendsTheExtension) {
  TempDir dir;
  log_.LogActionText(LOG_TASKNAME, "********** Task Name:  daily **********");
  log_.LogActionText(LOG_SEPARATOR, "");
  log_.LogActionText(LOG_ERROR, "");
  ASSERT_TRUE(log_.Save((dir / "run").string(), prompts_));
  // An empty column is an empty line; the separator's columns hold one blank each.
  EXPECT_EQ(ReadFile(dir / "run.log"),
            "2023-11-14 22:13:20\nTASKNAME\n********** Task Name:  daily **********\n"
            "##### TARNWICK #####\n \n \n2023-11-14 22:13:20\nERROR\n\n");
  EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Activity log saved ok."});

  ASSERT_TRUE(log_.Save((dir / "run.log").string(), prompts_));
  EXPECT_TRUE(std::filesystem::exists(dir / "run.log.log"));

  // An older, longer log is replaced whole.
  WriteFile(dir / "old.log", std::string(5000, 'x') + "\n");
  log_.Clear();
  log_.LogActionText(LOG_BACKUPEND, "Backup End.");
  ASSERT_TRUE(log_.Save((dir / "old").string(), prompts_));
  EXPECT_EQ(ReadFile(dir / "old.log"), "2023-11-14 22:13:20\nBACKUPEND\nBackup End.\n");
  // Nothing but the logs themselves is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 3);
}

TEST_F(ActivityLogTest, FailedSaveReportsAndKeepsTheOlderLog) {
  TempDir dir;
  log_.LogActionText(LOG_BACKUPEND, "Backup End.");
  const std::string missing = (dir / "no-such-folder" / "run").string();
  EXPECT_FALSE(log_.Save(missing, prompts_));
  EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Failed to save log to \"" + missing + ".log\"."});

  // A log that cannot be replaced stays as it was: the target is a folder here.
  std::filesystem::create_directories(dir / "busy.log");
  WriteFile(dir / "busy.log" / "inside", "keep");
  EXPECT_FALSE(log_.Save((dir / "busy").string(), prompts_));
  EXPECT_EQ(ReadFile(dir / "busy.log" / "inside"), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST_F(ActivityLogTest, LoadPutsTheFileRowsOnTopAndKeepsTheInsertPosition) {
  TempDir dir;
  // Seven lines: two whole rows and one with only a time column; CR LF is a line break like LF.
  WriteFile(dir / "in.log", "t1\nk1\nd1\r\nt2\nk2\nd2\nt3");
  log_.LogActionText(LOG_BACKUPSTART, "a");
  log_.LogActionText(LOG_BACKUPEND, "b");
  RecordingListener listener;
  log_.AddListener(&listener);
  prompts_.answers = {UserPrompts::Answer::Yes};

  ASSERT_TRUE(log_.Load((dir / "in.log").string(), prompts_));
  EXPECT_EQ(prompts_.questions, std::vector<std::string>{"Activity log not saved, would you like to continue?"});
  std::vector<LogRow> rows = log_.Rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (LogRow{"t1", "k1", "d1"}));
  EXPECT_EQ(rows[1], (LogRow{"t2", "k2", "d2"}));
  EXPECT_EQ(rows[2], (LogRow{"t3", "", ""}));
  EXPECT_EQ(rows[3][2], "a");
  EXPECT_EQ(log_.InsertPosition(), 2u);

  // The next event goes to the insert position, not to the end.
  log_.LogActionText(LOG_ERROR, "next");
  rows = log_.Rows();
  EXPECT_EQ(rows[2][2], "next");
  EXPECT_EQ(rows[3], (LogRow{"t3", "", ""}));
  EXPECT_EQ(listener.events, (std::vector<std::string>{"load 0 3", "insert 2 next"}));
  log_.RemoveListener(&listener);
}

// What a file holds, and the rows it loads as: lines of any length come back whole, and an empty
// line is an empty column. Files of older versions (blanks for empty columns, long columns cut to
// 2047 bytes, never an empty line) load as they always did.
struct LoadCase {
  const char* what;
  std::string text;
  std::vector<LogRow> rows;
};

class ActivityLogLoadTest : public ActivityLogTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(ActivityLogLoadTest, RowsAreTheFileLinesInThrees) {
  TempDir dir;
  WriteFile(dir / "in.log", GetParam().text);
  ASSERT_TRUE(log_.Load((dir / "in.log").string(), prompts_));
  EXPECT_EQ(log_.Rows(), GetParam().rows);
  EXPECT_TRUE(prompts_.messages.empty()) << "no line is cut, so there is nothing to warn about";
}

INSTANTIATE_TEST_SUITE_P(
    Files, ActivityLogLoadTest,
    ::testing::Values(LoadCase{"older file",
                               "##### TARNWICK #####\n \n \nt\nERROR\n" + std::string(2047, 'p') + "\n",
                               {{"##### TARNWICK #####", " ", " "}, {"t", "ERROR", std::string(2047, 'p')}}},
                      LoadCase{"long line",
                               "t\nBACKUPFILE\n" + std::string(5000, 'x') + "\nt2\nk\nd\n",
                               {{"t", "BACKUPFILE", std::string(5000, 'x')}, {"t2", "k", "d"}}},
                      LoadCase{"empty columns", "t\n\n\nt2\nk\n\n", {{"t", "", ""}, {"t2", "k", ""}}},
                      LoadCase{"CR LF file with an empty column",
                               "t\r\nk\r\n\r\nt2\r\nk2\r\nd2\r\n",
                               {{"t", "k", ""}, {"t2", "k2", "d2"}}}),
    [](const ::testing::TestParamInfo<LoadCase>& c) {
      std::string name = c.param.what;
      for (char& letter : name) letter = letter == ' ' ? '_' : letter;
      return name;
    });

TEST_F(ActivityLogTest, LoadDeclinedOrFailingLeavesTheListAlone) {
  TempDir dir;
  WriteFile(dir / "in.log", "t\nk\nd\n");
  log_.LogActionText(LOG_BACKUPSTART, "a");
  prompts_.answers = {UserPrompts::Answer::No};
  EXPECT_FALSE(log_.Load((dir / "in.log").string(), prompts_));
  EXPECT_EQ(log_.RowCount(), 1u);
  EXPECT_TRUE(prompts_.messages.empty());

  const std::string missing = (dir / "missing.log").string();
  EXPECT_FALSE(log_.Load(missing, prompts_));
  EXPECT_EQ(prompts_.messages,
            std::vector<std::string>{"Unable to open log file \"" + missing + "\"\nNo such file or directory."});
  EXPECT_FALSE(std::filesystem::exists(missing));  // looking for a log never creates one
  EXPECT_EQ(log_.RowCount(), 1u);

  // An empty log asks nothing.
  CActivityLog empty(clock_);
  RecordingPrompts quiet;
  EXPECT_TRUE(empty.Load((dir / "in.log").string(), quiet));
  EXPECT_TRUE(quiet.questions.empty());
  EXPECT_EQ(empty.RowCount(), 1u);
}

// Every column comes back whole, empty ones empty; only a line break inside a column, which would
// end its line, becomes a blank.
TEST_F(ActivityLogTest, SaveThenLoadGivesTheSameRows) {
  TempDir dir;
  const std::string longPath = "Backup /" + std::string(5000, 'n') + " Failed.";
  log_.LogActionText(LOG_SEPARATOR, "");
  log_.LogActionText(LOG_ERROR, "");
  log_.LogActionText(LOG_BACKUPFILE, "Backup /tmp/a\nb Failed.");
  log_.LogActionText(LOG_BACKUPFILE, "Backup /tmp/c\r\nd\re Failed.");
  log_.LogActionText(LOG_TASKNAME, "********** Task Name:  NONAME **********");
  log_.LogAction(LOG_BACKUPSTART, IDS_BACKUP_START);
  log_.LogActionText(LOG_ERROR, longPath);
  log_.LogActionText(LOG_BACKUPEND, "last");
  ASSERT_TRUE(log_.Save((dir / "round").string(), prompts_));
  std::vector<LogRow> expected = log_.Rows();
  expected[2][2] = "Backup /tmp/a b Failed.";
  expected[3][2] = "Backup /tmp/c d e Failed.";
  CActivityLog other(clock_);
  RecordingPrompts quiet;
  ASSERT_TRUE(other.Load((dir / "round.log").string(), quiet));
  EXPECT_EQ(other.Rows(), expected);
  EXPECT_TRUE(quiet.messages.empty());
}

// Two threads appending at once: every append takes its own position and nothing is lost.
TEST_F(ActivityLogTest, ConcurrentAppendsTakeDistinctPositions) {
  constexpr int kPerThread = 2000;
  RecordingListener listener;
  log_.AddListener(&listener);
  auto writer = [this](const std::string& tag) {
    for (int i = 0; i < kPerThread; ++i) log_.LogActionText(LOG_BACKUPFILE, tag + std::to_string(i));
  };
  std::thread a(writer, "a");
  std::thread b(writer, "b");
  a.join();
  b.join();
  log_.RemoveListener(&listener);

  const std::vector<LogRow> rows = log_.Rows();
  ASSERT_EQ(rows.size(), 2u * kPerThread);
  EXPECT_EQ(log_.InsertPosition(), 2u * kPerThread);
  std::set<std::string> descriptions;
  int nextA = 0, nextB = 0;
  for (const LogRow& row : rows) {
    descriptions.insert(row[2]);
    // Each thread's rows stay in the order it appended them.
    if (row[2][0] == 'a') EXPECT_EQ(row[2], "a" + std::to_string(nextA++));
    else EXPECT_EQ(row[2], "b" + std::to_string(nextB++));
  }
  EXPECT_EQ(descriptions.size(), 2u * kPerThread);

  // The listener heard every insertion once, in position order, matching the rows.
  ASSERT_EQ(listener.events.size(), 2u * kPerThread);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(listener.events[i], "insert " + std::to_string(i) + " " + rows[i][2]);
  }
}

// A listener that writes to the log while being told of a change must not hang it.
// A listener that writes to the log while being told of a change, directly or through another
// log's listener, must not hang it.
TEST_F(ActivityLogTest, ListenerMayAppendWhileBeingTold) {
  struct Echo : RecordingListener {
    CActivityLog* target = nullptr;
    std::string heard, answer;
    void OnRowInserted(std::size_t position, const LogRow& row) override {
      RecordingListener::OnRowInserted(position, row);
      if (row[2] == heard) target->LogActionText(LOG_ERROR, answer);
    }
  };
  CActivityLog second(clock_);
  Echo echo, relay, back;
  echo.target = &log_, echo.heard = "ping", echo.answer = "pong";
  relay.target = &second, relay.heard = "pong", relay.answer = "relayed";
  back.target = &log_, back.heard = "relayed", back.answer = "back";
  log_.AddListener(&echo);
  log_.AddListener(&relay);
  second.AddListener(&back);
  std::thread other([this] { log_.LogActionText(LOG_ERROR, "ping"); });
  other.join();
  log_.LogActionText(LOG_ERROR, "after");
  log_.RemoveListener(&echo);
  log_.RemoveListener(&relay);
  second.RemoveListener(&back);
  const std::vector<LogRow> rows = log_.Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3][2], "after");
  EXPECT_EQ(echo.events.size(), 4u);
  EXPECT_EQ(back.events, std::vector<std::string>{"insert 0 relayed"});
}

}  // namespace
}  // namespace tarnwick
