#include "net/PingThread.h"

namespace tarnwick {

CPingThread::CPingThread() : thread_([this] { Run(); }) {}

CPingThread::~CPingThread() {
  {
    MutexLock lock(mutex_);
    stopEvent_ = true;
  }
  wake_.NotifyAll();
  thread_.join();
}

void CPingThread::RequestPing(int count, const std::string& host, PingObserver* window) {
  {
    MutexLock lock(mutex_);
    count_ = count;
    host_ = host;
    window_ = window;
    requestEvent_ = true;
  }
  wake_.NotifyAll();
}

void CPingThread::Run() {
  for (;;) {
    int count;
    std::string host;
    PingObserver* window;
    {
      MutexLock lock(mutex_);
      while (!stopEvent_ && !requestEvent_) wake_.Wait(mutex_);
      // The stop wins over a pending request.
      if (stopEvent_) return;
      requestEvent_ = false;
      count = count_;
      host = host_;
      window = window_;
    }
    worker_.Ping(count, host, window);
  }
}

}  // namespace tarnwick
