// The program's one set of file-descriptor helpers: an owned descriptor, whole and chunked reads
// and complete writes. Replacing writes through a temporary file beside the target are in
// formats/PartFile.h.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

// What a file operation of the storage formats ended with: success, the system's error number, or
// the refusal of a stored file by the reading rule (OpenStoredFile). The formats hold no texts; a
// caller that shows the failure names the file and the reason (app/FormatTexts.h words all three).
struct [[nodiscard]] IoResult {
  // Why OpenStoredFile turned down a file the system would have let it read.
  enum class Refusal : std::uint8_t { None, NotRegularFile, TooLarge };

  // errno of the failed step; 0 for success; for a refusal EISDIR (a folder), EINVAL (anything
  // else that is not a regular file) or EFBIG (over the limit)
  int sysError = 0;
  Refusal refusal = Refusal::None;
  std::uint64_t limit = 0;  // TooLarge: the limit the file passed

  bool ok() const { return sysError == 0; }
  explicit operator bool() const { return ok(); }
  static IoResult FromErrno();  // the current errno
  static IoResult NotRegularFile(bool folder = false);
  static IoResult TooLarge(std::uint64_t limit);
};

// The size limits of the files the program reads, far above what a user's files reach: they only
// bound the memory a file put in the way (a link to /dev/zero, a huge file) can take. docs/ gives
// each with its file.
inline constexpr std::uint64_t kKiB = 1024;
inline constexpr std::uint64_t kMiB = 1024 * kKiB;
inline constexpr std::uint64_t kSettingsFileLimit = 1 * kMiB;  // config.xml: a handful of options
inline constexpr std::uint64_t kProfileFileLimit = 8 * kMiB;   // one profile: tens of thousands of sources
// profiles.ini: two times per profile; a million profiles take about 80 MiB.
inline constexpr std::uint64_t kCatalogueFileLimit = 256 * kMiB;
// ftpac.ini, ftpsrc.ini, ftpcerts.ini and the history lists: one short section per server.
inline constexpr std::uint64_t kAccountFileLimit = 16 * kMiB;
// Saved logs and the run history's month files: a month of nightly runs of 100,000 files each.
inline constexpr std::uint64_t kLogFileLimit = 256 * kMiB;
inline constexpr std::uint64_t kLockFileLimit = 64 * kKiB;    // scheduler.lock: three short lines
inline constexpr std::uint64_t kKnownHostsLimit = 16 * kMiB;  // an SSH known-hosts file
inline constexpr std::uint64_t kKeyFileLimit = 64 * kKiB;     // an SSH private key
// For a file that is appended to rather than read (the run history, known_hosts): the rest of the
// rule holds, its size is not asked.
inline constexpr std::uint64_t kNoSizeLimit = std::numeric_limits<std::uint64_t>::max();

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
  // Hands the descriptor over to the caller, who closes it; this holds none afterwards.
  int release() { return std::exchange(fd_, -1); }
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

// Reads from `fd` to its end into `out` (appending), refusing (TooLarge) a file that holds more
// than `limit` bytes: it may have grown since it was opened, or be one whose size the system does
// not tell. Never more than `limit` + 1 bytes are taken; what was read stays.
IoResult ReadAllUpTo(int fd, std::uint64_t limit, std::string& out);

// Opens `path` under the rule every reader of a stored file follows (config.xml, profiles,
// profiles.ini, the account files, logs, lock files, SSH files):
//  - the open never blocks (O_NONBLOCK: a FIFO or device put at the name cannot hang the program;
//    O_NOCTTY: a terminal never becomes ours; O_CLOEXEC);
//  - the opened file must be a regular file, asked of the descriptor (fstat), so the name cannot be
//    swapped between the check and the open (a link is followed to what it names; with O_NOFOLLOW
//    in `flags` a link at the name is refused as not a regular file, and so is a folder opened for
//    writing or a FIFO without a reader, which the system turns down itself);
//  - it may not be larger than `limit` bytes (TooLarge).
// `flags` are the access and any extras (O_RDONLY; O_RDWR | O_CREAT for a lock file; O_WRONLY |
// O_APPEND | O_CREAT for an appended file, created with `mode`). On success `fd` holds the file,
// O_NONBLOCK still set (it changes nothing for a regular file); on failure `fd` holds nothing.
IoResult OpenStoredFile(const std::string& path, std::uint64_t limit, CFileDescriptor& fd, int flags = O_RDONLY,
                        mode_t mode = 0600);

// Opens `path` by OpenStoredFile's rule and reads it whole into `out` (replacing what it held).
IoResult ReadWholeFile(const std::string& path, std::uint64_t limit, std::string& out);

}  // namespace tarnwick
