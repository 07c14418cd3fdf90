// Which program launches the scheduled profiles of a catalogue: the window or the background
// monitor, never both, so a due profile is never started twice. Whoever holds the lock file
// "scheduler.lock" in the data folder ticks the schedule monitor; the other stands by and asks
// again at each tick. The lock is flock() on that file, so the kernel lets it go when its holder
// ends, however it ends, and the one standing by takes over at its next tick.
//
// The file says who holds it, for people (first line), the holder's process as it sees its own
// number (second line) and the profile it is backing up now (third line, empty between runs), so
// that the window can show a run of the background service. A stop request never goes to that
// number: the holder answers them on the socket "scheduler.sock" beside the file (StopService.h).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/Status.h"
#include "engine/StopService.h"
#include "formats/FileIo.h"

namespace tarnwick {

class CSchedulerLock {
 public:
  static constexpr const char* kFileName = "scheduler.lock";
  static constexpr const char* kSocketName = "scheduler.sock";

  // The lock of `lockFile`; `holderText` is written into it while held, for the others to show
  // who runs the schedules (e.g. "tarnwick-cli monitor, process 1234"). Takes nothing yet.
  CSchedulerLock(std::filesystem::path lockFile, std::string holderText);
  // Stops answering stop requests and lets go of the lock when held.
  ~CSchedulerLock() = default;
  CSchedulerLock(const CSchedulerLock&) = delete;
  CSchedulerLock& operator=(const CSchedulerLock&) = delete;

  // What the holder of a lock file says of itself.
  struct Holder {
    std::string text;     // who, for people (e.g. "tarnwick-cli monitor, process 1234")
    pid_t process = 0;    // the holder's process in its own pid namespace, for people; 0 when unsaid
    std::string running;  // the profile being backed up now; empty between runs
  };

  // DataFolder() / kFileName.
  static std::filesystem::path DefaultPath();

  // Takes the lock when nobody holds it, without waiting. True when this object holds it now (at
  // once when it held it already). False while another process or object holds it, or when the
  // lock file cannot be opened or created, or is not a regular file of at most kLockFileLimit bytes
  // (error() tells why): then nobody here launches.
  bool TryAcquire();
  bool Held() const { return held_; }
  // While held from now on, stop requests are answered with `onStop` (called on the socket's
  // thread; see CStopService). Call before TryAcquire. Without it this holder answers none.
  void AnswerStopRequests(CStopService::StopHandler onStop);
  // Why stop requests cannot reach this holder (its socket could not be made); Ok otherwise.
  const Status& stopError() const { return stopError_; }
  // Tells the others which profile this holder backs up now (empty: none). Only while held.
  void SetRunning(const std::string& profile);
  void Release();
  // Why the last TryAcquire could not open the lock file; Ok otherwise.
  const Status& error() const { return error_; }

  // The text the holder of `lockFile` wrote (empty for a moment after it took the lock); nullopt
  // when nobody holds the lock.
  static std::optional<std::string> CurrentHolder(const std::filesystem::path& lockFile);
  // All the holder wrote; nullopt when nobody holds the lock, and also when the lock file is there
  // but cannot be read or is turned down by the reading rule (formats/FileIo.h): then, when
  // `unreadable` is given, it says why.
  static std::optional<Holder> ReadHolder(const std::filesystem::path& lockFile, Status* unreadable = nullptr);

  // The socket the holder of `lockFile` answers stop requests on.
  static std::filesystem::path SocketPathOf(const std::filesystem::path& lockFile);
  // Asks the holder of `lockFile` to stop the backup it runs, as Stop does in its own window, and
  // waits for its answer (AskToStop). Ok only when it answered: `answer` says whether it stops a
  // backup and which, or runs none.
  static Status RequestStop(const std::filesystem::path& lockFile, StopAnswer& answer);
  // What the holder answered, for people, with its names escaped for a terminal: "<holder> is
  // stopping the backup of <profile>." or that no scheduled backup runs.
  static std::string StopAnsweredText(const StopAnswer& answer);

 private:
  const std::filesystem::path path_;
  void WriteHolder();

  const std::string holderText_;
  std::string running_;
  CFileDescriptor fd_;
  bool held_ = false;
  Status error_;
  CStopService::StopHandler onStop_;
  // Declared after fd_: it stops answering before the lock goes.
  std::unique_ptr<CStopService> stopService_;
  Status stopError_;
};

}  // namespace tarnwick
