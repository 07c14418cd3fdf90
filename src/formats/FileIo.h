// The program's one set of file-descriptor helpers: an owned descriptor, whole and chunked reads,
// complete writes, and replacing writes through a temporary file beside the target.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace tarnwick {

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

// Writes all of `bytes` to `fd`, carrying on after short writes and interruptions. False with
// errno set on an error.
bool WriteAll(int fd, std::string_view bytes);

// Reads from `fd` to its end into `out` (appending). False on a read error; what was read stays.
bool ReadAll(int fd, std::string& out, std::error_code& error);

// Writes all of `bytes` to `fd`, carrying on after short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes, std::error_code& error);

// Opens `path` read-only and reads it whole.
bool ReadWholeFile(const std::string& path, std::string& out, std::error_code& error);

}  // namespace tarnwick
