#include "app/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// CondVar borrows the Mutex's std::mutex for the wait and hands it back: a mistake there leaves the
// caller's MutexLock without the lock it thinks it holds, or unlocks it twice.
TEST(CondVar, ATimedOutWaitReturnsFalseStillHoldingTheLock) {
  Mutex mutex;
  CondVar never;
  MutexLock lock(mutex);
  EXPECT_FALSE(never.WaitUntil(mutex, std::chrono::steady_clock::now() + 10ms));

  std::atomic<bool> taken{false};
  std::thread other([&] {
    MutexLock otherLock(mutex);
    taken = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(taken) << "the lock was free after the wait returned";
  lock.Unlock();
  other.join();
  EXPECT_TRUE(taken);
}

// One slot handed back and forth: the producer fills it, the consumer empties it.
struct Handoff {
  Mutex mutex;
  CondVar changed;
  int value GUARDED_BY(mutex) = 0;
  bool full GUARDED_BY(mutex) = false;
};

TEST(CondVar, EachValueSetUnderTheLockReachesTheWaiter) {
  Handoff slot;
  std::thread producer([&] {
    for (int i = 1; i <= 100; ++i) {
      MutexLock lock(slot.mutex);
      while (slot.full) slot.changed.Wait(slot.mutex);
      slot.value = i;
      slot.full = true;
      slot.changed.NotifyAll();
    }
  });
  int sum = 0;
  {
    MutexLock lock(slot.mutex);
    for (int taken = 0; taken < 100; ++taken) {
      while (!slot.full) slot.changed.Wait(slot.mutex);
      sum += slot.value;
      slot.full = false;
      slot.changed.NotifyAll();
      // Let go of the lock in the middle of the scope and take it again, as a worker does around its work.
      lock.Unlock();
      std::this_thread::yield();
      lock.Lock();
    }
  }
  producer.join();
  EXPECT_EQ(sum, 5050);
}

}  // namespace
}  // namespace tarnwick
