// Runs ping requests on a thread of their own. The thread sleeps until a request or the stop
// comes; a request runs CPingWorker::Ping with the stored count, host and window.
#pragma once

#include <string>
#include <thread>

#include "app/Mutex.h"
#include "net/PingObserver.h"
#include "net/PingWorker.h"

namespace tarnwick {

class CPingThread {
 public:
  CPingThread();
  // Stops the thread and waits for it; a running ping is finished first.
  ~CPingThread();
  CPingThread(const CPingThread&) = delete;
  CPingThread& operator=(const CPingThread&) = delete;

  // Stores the request and wakes the thread. A request made while a ping runs is served after it.
  void RequestPing(int count, const std::string& host, PingObserver* window);

 private:
  void Run();

  Mutex mutex_;
  CondVar wake_;
  bool stopEvent_ GUARDED_BY(mutex_) = false;     // stays set once set
  bool requestEvent_ GUARDED_BY(mutex_) = false;  // cleared by the thread when it takes the request
  CPingWorker worker_;                            // the thread's own
  std::string host_ GUARDED_BY(mutex_);
  PingObserver* window_ GUARDED_BY(mutex_) = nullptr;
  int count_ GUARDED_BY(mutex_) = 0;
  std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace tarnwick
