// Runs ping requests on a thread of their own. The thread sleeps until a request or the stop
// comes; a request runs CPingWorker::Ping with the stored count, host and window.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopEvent_ = false;     // stays set once set
  bool requestEvent_ = false;  // cleared by the thread when it takes the request
  CPingWorker worker_;
  std::string host_;
  PingObserver* window_ = nullptr;
  int count_ = 0;
  std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace tarnwick
