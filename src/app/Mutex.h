// A mutex, its scoped lock and a condition variable that clang's thread-safety analysis can follow:
// libstdc++'s std::mutex and std::lock_guard carry no annotations, so members GUARDED_BY a
// std::mutex could not be checked. Waits take the Mutex itself, so the condition is tested in the
// function that holds the lock (`while (!ready_) wake_.Wait(mutex_);`), where the analysis sees it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/ThreadAnnotations.h"

namespace tarnwick {

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class CondVar;
  std::mutex mutex_;
};

// Holds the mutex from construction to destruction; Unlock/Lock let go of it for a stretch inside.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexLock() RELEASE() {
    if (held_) mutex_.Unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void Unlock() RELEASE() {
    mutex_.Unlock();
    held_ = false;
  }
  void Lock() ACQUIRE() {
    mutex_.Lock();
    held_ = true;
  }

 private:
  Mutex& mutex_;
  bool held_ = true;
};

class CondVar {
 public:
  // Lets go of `mutex`, sleeps until notified, and returns holding it again. It may also return
  // without a notification: callers wait in a loop on their condition.
  void Wait(Mutex& mutex) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    cv_.wait(lock);
    lock.release();  // the caller's MutexLock still owns it
  }
  // As Wait, but returns at `deadline` at the latest; false when the deadline has passed.
  bool WaitUntil(Mutex& mutex, std::chrono::steady_clock::time_point deadline) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    const bool notified = cv_.wait_until(lock, deadline) == std::cv_status::no_timeout;
    lock.release();
    return notified;
  }
  void NotifyOne() noexcept { cv_.notify_one(); }
  void NotifyAll() noexcept { cv_.notify_all(); }

 private:
  std::condition_variable cv_;
};

}  // namespace tarnwick
