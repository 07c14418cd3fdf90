// Helpers of the engine tests: a recording observer and a job run on the calling thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "engine/JobContext.h"
#include "engine/JobObserver.h"
#include "log/ActivityLog.h"
#include "profiles/Profile.h"

namespace tarnwick::test {

// Records status texts and progress positions; `onProgress` runs after each recorded position.
class RecordingObserver : public JobObserver {
 public:
  std::function<void(long long position)> onProgress;

  void OnStatusText(const std::string& text) override {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
  }
  void OnClearStatus() override {
    std::lock_guard lock(mutex_);
    ++clears_;
  }
  void OnProgress(long long position, long long range) override {
    {
      std::lock_guard lock(mutex_);
      positions_.push_back(position);
      ranges_.push_back(range);
    }
    if (onProgress) onProgress(position);
  }
  void OnResetProgress() override {}
  void OnJobEnded(const JobEnd& end) override {
    std::lock_guard lock(mutex_);
    ends_.push_back(end);
  }
  void OnLaunchFailed(const std::string& profileName, const Status&) override {
    std::lock_guard lock(mutex_);
    launchFailures_.push_back(profileName);
  }
  void OnRunMissed(const RunReport& report) override {
    std::lock_guard lock(mutex_);
    missed_.push_back(report.profileName);
  }
  std::vector<std::string> Missed() const {
    std::lock_guard lock(mutex_);
    return missed_;
  }

  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  std::vector<long long> Positions() const {
    std::lock_guard lock(mutex_);
    return positions_;
  }
  std::vector<long long> Ranges() const {
    std::lock_guard lock(mutex_);
    return ranges_;
  }
  std::vector<JobEnd> Ends() const {
    std::lock_guard lock(mutex_);
    return ends_;
  }
  std::vector<std::string> LaunchFailures() const {
    std::lock_guard lock(mutex_);
    return launchFailures_;
  }
  int Clears() const {
    std::lock_guard lock(mutex_);
    return clears_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<long long> positions_;
  std::vector<long long> ranges_;
  std::vector<std::string> missed_;
  int clears_ = 0;
  std::vector<JobEnd> ends_;
  std::vector<std::string> launchFailures_;
};

// One job with its own log, observer and stop flag, run on the calling thread.
struct JobRun {
  FixedClock clock{1709600000};
  CActivityLog log{clock};
  RecordingObserver observer;
  std::atomic<bool> stop{false};
  BackupJob job;
  JobContext context{job, log, observer, stop};

  // Keyword and description of every row, "KEYWORD description".
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& row : log.Rows()) rows.push_back(row[1] + " " + row[2]);
    return rows;
  }
  // The rows without the "ERROR Reason: ..." rows, whose words are the server's; `reasons` gets
  // them, in order.
  std::vector<std::string> RowsWithoutReasons(std::vector<std::string>* reasons = nullptr) const {
    std::vector<std::string> rows = Rows();
    std::erase_if(rows, [reasons](const std::string& row) {
      if (row.rfind("ERROR Reason: ", 0) != 0) return false;
      if (reasons) reasons->push_back(row);
      return true;
    });
    return rows;
  }
  // How many rows start with `start` ("KEYWORD description").
  std::size_t CountRows(const std::string& start) const {
    const auto rows = Rows();
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [&](const std::string& r) { return r.rfind(start, 0) == 0; }));
  }
};

// The names in `folder`, sorted: what a job left there, temporary files included.
inline std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tarnwick::test
