#include "log/RunLogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

#include "app/FormatTexts.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "formats/FileIo.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "monitor-";
constexpr std::string_view kSuffix = ".log";

// The month of a file name as year * 12 + month - 1; -1 for a name that is not a month file.
int MonthIndexOf(const std::string& name) {
  int year = 0;
  int month = 0;
  char rest = 0;
  const std::string format = std::string(kPrefix) + "%4d-%2d" + std::string(kSuffix) + "%c";
  // A name with anything after ".log" fills `rest` and is not ours.
  if (name.size() != kPrefix.size() + 7 + kSuffix.size() ||
      std::sscanf(name.c_str(), format.c_str(), &year, &month, &rest) != 2 || month < 1 || month > 12) {
    return -1;
  }
  return year * 12 + month - 1;
}

int MonthIndexOf(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return (local.tm_year + 1900) * 12 + local.tm_mon;
}

bool IsSeparator(const LogRow& row) { return row.code == LOG_SEPARATOR; }

}  // namespace

std::string TaskNameOfRow(const std::string& description) {
  const std::string_view format = LoadString(IDS_TASK_NAME_ROW);
  const std::size_t hole = format.find("%s");
  const std::string_view before = format.substr(0, hole);
  const std::string_view after = format.substr(hole + 2);
  if (description.size() < before.size() + after.size() || description.compare(0, before.size(), before) != 0 ||
      description.compare(description.size() - after.size(), after.size(), after) != 0) {
    return {};
  }
  return description.substr(before.size(), description.size() - before.size() - after.size());
}

CRunLogFile::CRunLogFile(fs::path folder, const Clock& clock) : folder_(std::move(folder)), clock_(clock) {}

fs::path CRunLogFile::DefaultFolder() { return DataFolder() / "Logs"; }

std::string CRunLogFile::FileNameFor(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d", local.tm_year + 1900, local.tm_mon + 1);
  return std::string(kPrefix) + text + std::string(kSuffix);
}

std::vector<fs::path> CRunLogFile::MonthFiles(const fs::path& folder) {
  std::vector<std::pair<int, fs::path>> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const int month = MonthIndexOf(it->path().filename().string());
    if (month >= 0 && it->is_regular_file(ec)) found.emplace_back(month, it->path());
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> files;
  files.reserve(found.size());
  for (auto& entry : found) files.push_back(std::move(entry.second));
  return files;
}

int CRunLogFile::RemoveOldMonths(const fs::path& folder, std::time_t now) {
  const int oldestKept = MonthIndexOf(now) - (kMonthsKept - 1);
  int removed = 0;
  for (const fs::path& file : MonthFiles(folder)) {
    std::error_code ec;
    if (MonthIndexOf(file.filename().string()) < oldestKept && fs::remove(file, ec)) ++removed;
  }
  return removed;
}

LastRun CRunLogFile::FindLastRun(const fs::path& folder) {
  const std::vector<fs::path> files = MonthFiles(folder);
  std::vector<LogRow> rows;
  LastRun last;
  // A run that began before midnight at the turn of a month has its first rows in the older file.
  for (std::size_t taken = 0; taken < 2 && taken < files.size(); ++taken) {
    std::vector<LogRow> older;
    const std::string file = files[files.size() - 1 - taken].string();
    if (const IoResult read = ReadLogFile(file, older); !read.ok()) {
      last.unreadable = FileStatus(file, read);
      break;
    }
    rows.insert(rows.begin(), older.begin(), older.end());
    const auto separator = std::find_if(rows.rbegin(), rows.rend(), IsSeparator);
    if (separator == rows.rend()) continue;
    last.rows.assign(separator.base() - 1, rows.end());
    break;
  }
  for (const LogRow& row : last.rows) {
    if (last.profileName.empty() && row.code == LOG_TASKNAME) {
      last.profileName = TaskNameOfRow(row[2]);
      last.startTime = row[0];
    }
    last.loggedEnd.Note(row);
  }
  return last;
}

Status CRunLogFile::Append(const LogRow& row) {
  const std::time_t now = clock_.Now();
  const fs::path file = folder_ / FileNameFor(now);
  MutexLock lock(mutex_);
  if (file.string() != currentFile_) {
    // A new month (or the first row of this run): the folder may have to be made, and what is
    // more than a year old goes.
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (!ec) fs::permissions(folder_, fs::perms::owner_all, ec);
    RemoveOldMonths(folder_, now);
    currentFile_ = file.string();
  }
  // The history names files and servers: readable by its owner only.
  // Appended under the reading rule too: a FIFO or device put at the file's name is refused, not
  // waited on.
  CFileDescriptor fd;
  IoResult written = OpenStoredFile(file.string(), kNoSizeLimit, fd, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW);
  if (written.ok()) written = WriteAll(fd.get(), LogFileText({row}));
  if (written.ok()) return {};
  Status failure = FileStatus(file.string(), written);
  if (firstFailure_.ok()) firstFailure_ = failure;
  return failure;
}

Status CRunLogFile::FirstFailure() const {
  MutexLock lock(mutex_);
  return firstFailure_;
}

void CRunLogFile::OnRowInserted(std::size_t, const LogRow& row) { (void)Append(row); }  // kept by FirstFailure

}  // namespace tarnwick
