// Which program launches the scheduled profiles of a catalogue: the window or the background
// monitor, never both, so a due profile is never started twice. Whoever holds the lock file
// "scheduler.lock" in the data folder ticks the schedule monitor; the other stands by and asks
// again at each tick. The lock is flock() on that file, so the kernel lets it go when its holder
// ends, however it ends, and the one standing by takes over at its next tick.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/Status.h"
#include "formats/FileIo.h"

namespace tarnwick {

class CSchedulerLock {
 public:
  static constexpr const char* kFileName = "scheduler.lock";

  // The lock of `lockFile`; `holderText` is written into it while held, for the others to show
  // who runs the schedules (e.g. "tarnwick-cli monitor, process 1234"). Takes nothing yet.
  CSchedulerLock(std::filesystem::path lockFile, std::string holderText);
  // Lets go of the lock when held.
  ~CSchedulerLock() = default;
  CSchedulerLock(const CSchedulerLock&) = delete;
  CSchedulerLock& operator=(const CSchedulerLock&) = delete;

  // DataFolder() / kFileName.
  static std::filesystem::path DefaultPath();

  // Takes the lock when nobody holds it, without waiting. True when this object holds it now (at
  // once when it held it already). False while another process or object holds it, or when the
  // lock file cannot be opened or created (error() tells why): then nobody here launches.
  bool TryAcquire();
  bool Held() const { return held_; }
  void Release();
  // Why the last TryAcquire could not open the lock file; Ok otherwise.
  const Status& error() const { return error_; }

  // The text the holder of `lockFile` wrote (empty for a moment after it took the lock); nullopt
  // when nobody holds the lock.
  static std::optional<std::string> CurrentHolder(const std::filesystem::path& lockFile);

 private:
  const std::filesystem::path path_;
  const std::string holderText_;
  CFileDescriptor fd_;
  bool held_ = false;
  Status error_;
};

}  // namespace tarnwick
