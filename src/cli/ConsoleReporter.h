// The console side of a run without a window: log rows and the progress line on the console, and
// the outcome of a run as its rows tell it.
#pragma once

#include <cstdio>
#include <string>

#include "app/Mutex.h"
#include "engine/JobObserver.h"
#include "log/ActivityLog.h"

namespace tarnwick {

// A row as the console shows it: "time<TAB>keyword<TAB>description" and a line feed. A name from
// outside (a file, a server's listing) never changes the terminal nor forges a row: control
// characters are escaped, so every row is exactly one line.
std::string ConsoleRowText(const LogRow& row);

// Prints every log row as "time<TAB>keyword<TAB>description" the moment it is appended, and, when
// given a progress stream, keeps one progress line there (current file, KB, percent) that the rows
// clear before they print.
class CConsoleReporter : public JobObserver, public ActivityLogListener {
 public:
  // `progress` may be null: no progress line (for a stream that is not a terminal).
  CConsoleReporter(std::FILE* rows, std::FILE* progress) : rows_(rows), progress_(progress) {}

  void OnStatusText(const std::string& text) override;
  void OnClearStatus() override;
  void OnProgress(long long position, long long range) override;
  void OnResetProgress() override;

  void OnRowInserted(std::size_t position, const LogRow& row) override;
  void OnCleared() override {}
  void OnRowsLoaded(std::size_t, std::size_t) override {}

 private:
  void DrawProgressLocked() REQUIRES(mutex_);
  void EraseProgressLocked() REQUIRES(mutex_);

  // The two streams are written only under mutex_, so a row never cuts into the progress line.
  std::FILE* rows_;
  std::FILE* progress_;
  mutable Mutex mutex_;
  std::string status_ GUARDED_BY(mutex_);
  long long percent_ GUARDED_BY(mutex_) = -1;  // -1: no position yet
  bool progressShown_ GUARDED_BY(mutex_) = false;
};

}  // namespace tarnwick
