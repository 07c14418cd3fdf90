// The activity log: rows of (time, action keyword, description) appended by the launchers and the
// backup worker. Thread-safe: one append (read the insert position, insert, advance it) is one
// serialized step. Front ends listen for changes through ActivityLogListener.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/Clock.h"
#include "app/Mutex.h"
#include "app/UserPrompts.h"
#include "formats/FileIo.h"

namespace tarnwick {

// Action codes of LogAction / LogActionText.
enum LogCode : int {
  LOG_TASKNAME = 0,
  LOG_BACKUPSTART = 1,
  LOG_BACKUPFILE = 2,
  LOG_UNKNOWN = 3,  // no code of the program logs it; a row read from a file with a keyword no code names
  LOG_BACKUPEND = 4,
  LOG_ERROR = 5,
  LOG_COMPRESSFILE = 6,
  LOG_CONNECTING = 7,
  LOG_CONNECTED = 8,
  LOG_CONNECTFAILED = 9,
  LOG_LOGGINGIN = 10,
  LOG_LOGINOK = 11,
  LOG_LOGINFAILED = 12,
  LOG_BACKUPSTOPPED = 13,
  LOG_SEPARATOR = 14,
  LOG_VERIFY = 15,  // the check of a finished backup: its start, each copy that matched, its sum
  LOG_NOTICE = 16,  // a desktop notice that could not be shown; not a failure of any run
  LOG_REPORT = 17,  // the last row of a run: its report (engine/RunReport.h), "key=value" words
};

// One row: its three columns (time, keyword, description) and the action code it was logged with.
// The code is kept beside the text, so readers need not go by the keyword; a row read from a file
// (which holds the text only) gets the code its keyword names (CodeForKeyword).
struct LogRow {
  LogRow() = default;
  LogRow(std::string time, std::string keyword, std::string description, int actionCode = LOG_UNKNOWN)
      : columns{std::move(time), std::move(keyword), std::move(description)}, code(actionCode) {}

  using value_type = std::string;
  using iterator = std::array<std::string, 3>::iterator;
  using const_iterator = std::array<std::string, 3>::const_iterator;

  std::string& operator[](std::size_t i) { return columns[i]; }
  const std::string& operator[](std::size_t i) const { return columns[i]; }
  auto begin() { return columns.begin(); }
  auto end() { return columns.end(); }
  auto begin() const { return columns.begin(); }
  auto end() const { return columns.end(); }
  static constexpr std::size_t size() { return 3; }
  // Rows are equal when their text is: a code follows from its keyword.
  friend bool operator==(const LogRow& a, const LogRow& b) { return a.columns == b.columns; }

  std::array<std::string, 3> columns;
  int code = LOG_UNKNOWN;
};

// The code whose keyword is `keyword`; LOG_UNKNOWN for any other text. The separator
// row, whose keyword column is blank, is told by its time column.
int CodeForKeyword(const std::string& time, const std::string& keyword);

// The text of a log file: three lines per row (time, keyword, description), each ended by a line
// feed; a line break inside a column becomes a blank.
std::string LogFileText(const std::vector<LogRow>& rows);

// Appends the rows of the log file at `path` to `rows` (a final group of one or two lines leaves
// the other columns empty). The file is read under the reading rule with the log files' limit
// (formats/FileIo.h: kLogFileLimit); a failure, with `rows` untouched, when it cannot be opened or
// read or is turned down.
IoResult ReadLogFile(const std::string& path, std::vector<LogRow>& rows);

// What the user is told when the log file at `path` could not be read (ReadLogFile's `result`).
std::string LogOpenFailedText(const std::string& path, const IoResult& result);

// How a run ended, as its rows' keywords say: only for run histories written before runs ended
// with a REPORT row (engine/RunReport.h decides every outcome now).
struct LoggedOutcome {
  bool ended = false;    // "Backup End." was logged
  bool stopped = false;  // "Backup has been stopped." was logged
  bool failed = false;   // an ERROR, CONNECTFAILED or LOGINFAILED row (a failed file is an ERROR row)

  // Takes one row of the run into account.
  void Note(const LogRow& row);
  // Only a run that reached its end without any failure counts as a success.
  bool Succeeded() const { return ended && !stopped && !failed; }
};

// Told about every change; called on the thread that made it, outside the log's lock.
class ActivityLogListener {
 public:
  virtual ~ActivityLogListener() = default;
  virtual void OnRowInserted(std::size_t position, const LogRow& row) = 0;
  virtual void OnCleared() = 0;
  // Rows [first, first + count) were inserted by loading a file.
  virtual void OnRowsLoaded(std::size_t first, std::size_t count) = 0;
};

class CActivityLog {
 public:
  explicit CActivityLog(const Clock& clock);

  // Appends a row whose description is the string-table text `stringId`.
  void LogAction(int code, unsigned stringId);
  // Appends a row with the given description.
  void LogActionText(int code, const std::string& text);

  void Clear();
  // Whether appended rows are kept (the default). A log whose rows nobody reads back (a run
  // without a window or a log file) need not hold a million rows for a million files: listeners
  // still hear of every row with its position; RowCount, Rows and Save see only rows kept.
  void KeepRows(bool keep);
  std::size_t RowCount() const;
  std::vector<LogRow> Rows() const;
  std::size_t InsertPosition() const;  // the row index counter

  // Writes `chosenName` + ".log" (always appended). Reports through `prompts`; false on failure.
  bool Save(const std::string& chosenName, UserPrompts& prompts);
  // Asks the "not saved" question when rows are shown (No stops), then loads `path`.
  bool Load(const std::string& path, UserPrompts& prompts);
  // Puts rows read from a log file at the top; the insert position stays where it was. Any thread;
  // the listeners hear of it on the calling one. A front end reads a big file off its own thread
  // (ReadLogFile) and hands the rows over here.
  void InsertLoadedRows(std::vector<LogRow>&& rows);

  void AddListener(ActivityLogListener* listener);
  void RemoveListener(ActivityLogListener* listener);

  // The keyword shown for an action code.
  static std::string KeywordFor(int code);

 private:
  // One change as the listeners hear of it.
  struct Change {
    enum class Kind { Inserted, Cleared, Loaded };
    explicit Change(Kind k) : kind(k) {}
    Kind kind;
    std::size_t position = 0;  // Inserted: the row's position; Loaded: the first row
    std::size_t count = 0;     // Loaded: the number of rows
    LogRow row;                // Inserted: the row
  };

  void Append(int code, const std::string& description) EXCLUDES(mutex_);
  std::string NowText() const;
  // Hands a change to the listeners outside the row lock, in the order the changes were made.
  void Deliver(std::uint64_t ticket, const Change& change) EXCLUDES(mutex_);
  void AdvanceDeliveredLocked() REQUIRES(mutex_);

  const Clock& clock_;
  mutable Mutex mutex_;
  std::vector<LogRow> rows_ GUARDED_BY(mutex_);
  std::size_t counter_ GUARDED_BY(mutex_) = 0;
  bool keepRows_ GUARDED_BY(mutex_) = true;
  std::vector<ActivityLogListener*> listeners_ GUARDED_BY(mutex_);
  CondVar turn_;
  std::uint64_t nextTicket_ GUARDED_BY(mutex_) = 0;            // ticket of the next change
  std::uint64_t nextDelivered_ GUARDED_BY(mutex_) = 0;         // the change whose turn it is to be delivered
  std::set<std::uint64_t> deliveredEarly_ GUARDED_BY(mutex_);  // changes a listener made while being told of another
  bool delivering_ GUARDED_BY(mutex_) = false;
};

}  // namespace tarnwick
