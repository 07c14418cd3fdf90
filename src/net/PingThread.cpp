#include "net/PingThread.h"

namespace tarnwick {

CPingThread::CPingThread() : thread_([this] { Run(); }) {}

CPingThread::~CPingThread() {
  {
    std::lock_guard lock(mutex_);
    stopEvent_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void CPingThread::RequestPing(int count, const std::string& host, PingObserver* window) {
  {
    std::lock_guard lock(mutex_);
    count_ = count;
    host_ = host;
    window_ = window;
    requestEvent_ = true;
  }
  wake_.notify_all();
}

void CPingThread::Run() {
  for (;;) {
    int count;
    std::string host;
    PingObserver* window;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopEvent_ || requestEvent_; });
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
