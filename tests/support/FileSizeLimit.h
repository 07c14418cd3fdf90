// A file-size limit for the current process while it lives: writes past it fail with EFBIG
// (instead of ending the process), whoever runs the test. Makes a full disk on demand.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace tarnwick::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old_;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ {};
  sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace tarnwick::test
