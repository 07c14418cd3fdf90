// The program's one set of file-descriptor helpers: an owned descriptor, whole and chunked reads
// and complete writes. Replacing writes through a temporary file beside the target are in
// formats/PartFile.h.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

// What a file operation of the storage formats ended with: success, or the system's error number.
// The formats hold no texts; a caller that shows the failure names the file and the reason.
struct IoResult {
  int sysError = 0;  // errno of the failed step; 0 for success

  bool ok() const { return sysError == 0; }
  static IoResult FromErrno();  // the current errno
};

// An open file descriptor, closed when this goes away.
class CFileDescriptor {
 public:
  explicit CFileDescriptor(int fd = -1) : fd_(fd) {}
  ~CFileDescriptor() { Close(); }
  CFileDescriptor(CFileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  CFileDescriptor& operator=(CFileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  CFileDescriptor(const CFileDescriptor&) = delete;
  CFileDescriptor& operator=(const CFileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now; false when the close reported an error (a delayed write error shows there).
  bool Close();

 private:
  int fd_;
};

// Fills `buffer` from `fd` up to `size` bytes, short only at the end of the file. -1 with errno
// set on a read error.
ssize_t ReadFull(int fd, char* buffer, std::size_t size);

// Reads from `fd` to its end into `out` (appending). A read error ends it; what was read stays.
IoResult ReadAll(int fd, std::string& out);

// Writes all of `bytes` to `fd`, carrying on after short writes and interruptions.
IoResult WriteAll(int fd, std::string_view bytes);

// Opens `path` read-only and reads it whole.
IoResult ReadWholeFile(const std::string& path, std::string& out);

}  // namespace tarnwick
