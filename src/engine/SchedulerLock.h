// Which program launches the scheduled profiles of a catalogue: the window or the background
// monitor, never both, so a due profile is never started twice. Whoever holds the lock file
// "scheduler.lock" in the data folder ticks the schedule monitor; the other stands by and asks
// again at each tick. The lock is flock() on that file, so the kernel lets it go when its holder
// ends, however it ends, and the one standing by takes over at its next tick.
//
// The file says who holds it, for people (first line), the holder's process (second line) and the
// profile it is backing up now (third line, empty between runs), so that the window can show a
// run of the background service and stop it: a stop request is SIGUSR1 to that process.
#pragma once

#include <sys/types.h>

#include <csignal>
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
  // who runs the schedules (e.g. "tarnwick-cli monitor, process 1234"), with `process` as the one
  // that answers stop requests (0: this process). Takes nothing yet.
  CSchedulerLock(std::filesystem::path lockFile, std::string holderText, pid_t process = 0);
  // Lets go of the lock when held.
  ~CSchedulerLock() = default;
  CSchedulerLock(const CSchedulerLock&) = delete;
  CSchedulerLock& operator=(const CSchedulerLock&) = delete;

  // What the holder of a lock file says of itself.
  struct Holder {
    std::string text;     // who, for people (e.g. "tarnwick-cli monitor, process 1234")
    pid_t process = 0;    // who answers a stop request; 0 when the file does not say
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

  // Asks the holder of `lockFile` to stop the backup it runs, as Stop does in its own window.
  // `asked` is who was asked and to stop which profile; NotFound when nobody holds the lock or the
  // holder runs no backup, IoError when its process cannot be signalled.
  static Status RequestStop(const std::filesystem::path& lockFile, Holder& asked);
  // "Asked <holder> to stop the backup of <profile>." for a request that went out.
  static std::string StopRequestedText(const Holder& asked);
  // The signal a stop request is sent with.
  static constexpr int kStopSignal = SIGUSR1;

 private:
  const std::filesystem::path path_;
  void WriteHolder();

  const std::string holderText_;
  const pid_t process_;
  std::string running_;
  CFileDescriptor fd_;
  bool held_ = false;
  Status error_;
};

}  // namespace tarnwick
