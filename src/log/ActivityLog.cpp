#include "log/ActivityLog.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <exception>
#include <sys/stat.h>
#include <system_error>

#include "app/FormatTexts.h"
#include "app/StringTable.h"
#include "formats/PartFile.h"
#include "formats/TextFile.h"

namespace tarnwick {

namespace {

// The logs whose listeners this thread is telling of a change (a listener may write to another log).
thread_local std::vector<const CActivityLog*> tDelivering;

bool DeliveringOnThisThread(const CActivityLog* log) {
  return std::find(tDelivering.begin(), tDelivering.end(), log) != tDelivering.end();
}

// A column as it goes into the file: whole, whatever its length, and empty when it is empty. A line
// break is the one thing a column cannot hold, as it would end its line and shift every later
// column of the file by one: each CR LF, CR or LF becomes one blank.
std::string FileColumn(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // the LF stands for both
    out += c == '\n' || c == '\r' ? ' ' : c;
  }
  return out;
}

// The whole file is replaced through a temporary file renamed over it once complete, so a
// failed save leaves an older log as it was. A replaced log keeps its permissions.
bool WriteLogFile(const std::string& fileName, const std::vector<LogRow>& rows) {
  struct stat old {};
  const mode_t mode = ::stat(fileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0666;
  return ReplaceFile(fileName, LogFileText(rows), mode).ok();
}

}  // namespace

std::string LogFileText(const std::vector<LogRow>& rows) {
  std::string text;
  for (const LogRow& row : rows) {
    for (const std::string& column : row) text += FileColumn(column) + "\n";
  }
  return text;
}

IoResult ReadLogFile(const std::string& path, std::vector<LogRow>& rows) {
  // Opened read-only: a log may lie where it cannot be written, and looking for one must not
  // create it. Older files, which never held an empty line, read the same.
  std::vector<std::string> lines;
  try {
    CTextFile file;
    if (IoResult opened = file.OpenReadOnly(path, kLogFileLimit); !opened.ok()) return opened;
    std::string line;
    while (file.ReadWholeLine(line)) lines.push_back(line);
    file.Close();
  } catch (const std::system_error& error) {
    // EFBIG: the file grew past the limit while it was read (the run history is appended to).
    if (error.code().value() == EFBIG) return IoResult::TooLarge(kLogFileLimit);
    return {error.code().value() != 0 ? error.code().value() : EIO};
  } catch (const std::exception&) {
    return {EIO};
  }
  for (std::size_t i = 0; i < lines.size(); i += 3) {
    LogRow row;  // a final group of one or two lines leaves the other columns empty
    for (std::size_t c = 0; c < 3 && i + c < lines.size(); ++c) row[c] = std::move(lines[i + c]);
    row.code = CodeForKeyword(row[0], row[1]);
    rows.push_back(std::move(row));
  }
  return {};
}

std::string LogOpenFailedText(const std::string& path, const IoResult& result) {
  return FormatString(IDS_LOG_OPEN_FAILED, path.c_str()) + "\n" + IoResultText(result) + ".";
}

void LoggedOutcome::Note(const LogRow& row) {
  switch (row.code) {
    case LOG_BACKUPEND: ended = true; break;
    case LOG_BACKUPSTOPPED: stopped = true; break;
    case LOG_ERROR:
    case LOG_CONNECTFAILED:
    case LOG_LOGINFAILED: failed = true; break;
    default: break;
  }
}

int CodeForKeyword(const std::string& time, const std::string& keyword) {
  if (time == LoadString(IDS_SEPARATOR_ROW)) return LOG_SEPARATOR;
  for (const int code : {LOG_TASKNAME, LOG_BACKUPSTART, LOG_BACKUPFILE, LOG_BACKUPEND, LOG_ERROR, LOG_COMPRESSFILE,
                         LOG_CONNECTING, LOG_CONNECTED, LOG_CONNECTFAILED, LOG_LOGGINGIN, LOG_LOGINOK, LOG_LOGINFAILED,
                         LOG_BACKUPSTOPPED, LOG_VERIFY, LOG_NOTICE, LOG_REPORT}) {
    if (keyword == CActivityLog::KeywordFor(code)) return code;
  }
  return LOG_UNKNOWN;
}

CActivityLog::CActivityLog(const Clock& clock) : clock_(clock) {}

std::string CActivityLog::KeywordFor(int code) {
  switch (code) {
    case LOG_TASKNAME: return LoadString(IDS_KW_TASKNAME);
    case LOG_BACKUPSTART: return LoadString(IDS_KW_BACKUPSTART);
    case LOG_BACKUPFILE: return LoadString(IDS_KW_BACKUPFILE);
    case LOG_BACKUPEND: return LoadString(IDS_KW_BACKUPEND);
    case LOG_ERROR: return LoadString(IDS_KW_ERROR);
    case LOG_COMPRESSFILE: return LoadString(IDS_KW_COMPRESSFILE);
    case LOG_CONNECTING: return LoadString(IDS_KW_CONNECTING);
    case LOG_CONNECTED: return LoadString(IDS_KW_CONNECTED);
    case LOG_CONNECTFAILED: return LoadString(IDS_KW_CONNECTFAILED);
    case LOG_LOGGINGIN: return LoadString(IDS_KW_LOGGINGIN);
    case LOG_LOGINOK: return LoadString(IDS_KW_LOGINOK);
    case LOG_LOGINFAILED: return LoadString(IDS_KW_LOGINFAILED);
    case LOG_BACKUPSTOPPED: return LoadString(IDS_KW_BACKUPSTOPPED);
    case LOG_VERIFY: return LoadString(IDS_KW_VERIFY);
    case LOG_NOTICE: return LoadString(IDS_KW_NOTICE);
    case LOG_REPORT: return LoadString(IDS_KW_REPORT);
    default: return LoadString(IDS_KW_UNKNOWN_ACTION);  // 3 is not used either
  }
}

std::string CActivityLog::NowText() const {
  std::time_t now = clock_.Now();
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return std::string(text, length);
}

void CActivityLog::LogAction(int code, unsigned stringId) { Append(code, LoadString(stringId)); }

void CActivityLog::LogActionText(int code, const std::string& text) { Append(code, text); }

void CActivityLog::Append(int code, const std::string& description) {
  Change change(Change::Kind::Inserted);
  std::uint64_t ticket;
  {
    MutexLock lock(mutex_);
    if (code == LOG_SEPARATOR) {
      change.row = {LoadString(IDS_SEPARATOR_ROW), " ", " ", LOG_SEPARATOR};
    } else {
      change.row = {NowText(), KeywordFor(code), description, code};
    }
    change.position = counter_;
    if (keepRows_) {
      // Rows not kept before leave the counter past the end.
      const std::size_t at = std::min(counter_, rows_.size());
      rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), change.row);
    }
    ++counter_;
    ticket = nextTicket_++;
  }
  Deliver(ticket, change);
}

void CActivityLog::Clear() {
  std::uint64_t ticket;
  {
    MutexLock lock(mutex_);
    rows_.clear();
    counter_ = 0;
    ticket = nextTicket_++;
  }
  Deliver(ticket, Change(Change::Kind::Cleared));
}

void CActivityLog::KeepRows(bool keep) {
  MutexLock lock(mutex_);
  keepRows_ = keep;
}

std::size_t CActivityLog::RowCount() const {
  MutexLock lock(mutex_);
  return rows_.size();
}

std::vector<LogRow> CActivityLog::Rows() const {
  MutexLock lock(mutex_);
  return rows_;
}

std::size_t CActivityLog::InsertPosition() const {
  MutexLock lock(mutex_);
  return counter_;
}

bool CActivityLog::Save(const std::string& chosenName, UserPrompts& prompts) {
  // The extension is appended whatever the chosen name ends with.
  const std::string fileName = chosenName + ".log";
  if (!WriteLogFile(fileName, Rows())) {
    prompts.ShowMessage(FormatString(IDS_LOG_SAVE_FAILED, fileName.c_str()));
    return false;
  }
  prompts.ShowMessage(LoadString(IDS_LOG_SAVED_OK));
  return true;
}

bool CActivityLog::Load(const std::string& path, UserPrompts& prompts) {
  if (RowCount() > 0 &&
      prompts.AskYesNo(LoadString(IDS_LOG_NOT_SAVED_CONTINUE), /*defaultNo=*/true) == UserPrompts::Answer::No) {
    return false;
  }
  std::vector<LogRow> loaded;
  // The whole file is read before the list changes, so a read error leaves the list as it was.
  if (const IoResult read = ReadLogFile(path, loaded); !read.ok()) {
    prompts.ShowMessage(LogOpenFailedText(path, read));
    return false;
  }
  InsertLoadedRows(std::move(loaded));
  return true;
}

void CActivityLog::InsertLoadedRows(std::vector<LogRow>&& rows) {
  if (rows.empty()) return;
  Change change(Change::Kind::Loaded);
  change.position = 0;
  change.count = rows.size();
  std::uint64_t ticket;
  {
    // The file's rows go to the top; the insert position stays where it was.
    MutexLock lock(mutex_);
    rows_.insert(rows_.begin(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    ticket = nextTicket_++;
  }
  Deliver(ticket, change);
}

void CActivityLog::AddListener(ActivityLogListener* listener) {
  MutexLock lock(mutex_);
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void CActivityLog::RemoveListener(ActivityLogListener* listener) {
  MutexLock lock(mutex_);
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
  // A delivery under way may still hold the listener; once it is over the listener may go.
  // From inside a delivery on this thread there is nothing to wait for.
  if (delivering_ && !DeliveringOnThisThread(this)) {
    const std::uint64_t current = nextDelivered_;
    while (nextDelivered_ == current) turn_.Wait(mutex_);
  }
}

void CActivityLog::AdvanceDeliveredLocked() {
  ++nextDelivered_;
  while (deliveredEarly_.erase(nextDelivered_) > 0) ++nextDelivered_;
}

void CActivityLog::Deliver(std::uint64_t ticket, const Change& change) {
  const bool nested = DeliveringOnThisThread(this);
  std::vector<ActivityLogListener*> listeners;
  {
    MutexLock lock(mutex_);
    if (nested) {
      // A listener changed the log while being told of an earlier change: waiting for this
      // change's turn would wait for ourselves, so it is told at once.
      deliveredEarly_.insert(ticket);
    } else {
      // Changes reach the listeners in the order they were made, whichever thread made them.
      while (nextDelivered_ != ticket) turn_.Wait(mutex_);
      delivering_ = true;
    }
    listeners = listeners_;
  }
  struct TurnGuard {
    CActivityLog* log;
    bool nested;
    ~TurnGuard() {
      if (nested) return;
      tDelivering.pop_back();
      MutexLock lock(log->mutex_);
      log->delivering_ = false;
      log->AdvanceDeliveredLocked();
      log->turn_.NotifyAll();
    }
  } guard{this, nested};
  if (!nested) tDelivering.push_back(this);
  for (ActivityLogListener* listener : listeners) {
    switch (change.kind) {
      case Change::Kind::Inserted: listener->OnRowInserted(change.position, change.row); break;
      case Change::Kind::Cleared: listener->OnCleared(); break;
      case Change::Kind::Loaded: listener->OnRowsLoaded(change.position, change.count); break;
    }
  }
}

}  // namespace tarnwick
