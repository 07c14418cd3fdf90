#include "formats/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick {

IoResult IoResult::FromErrno() { return {errno != 0 ? errno : EIO}; }

IoResult IoResult::NotRegularFile(bool folder) { return {folder ? EISDIR : EINVAL, Refusal::NotRegularFile}; }

IoResult IoResult::TooLarge(std::uint64_t limit) { return {EFBIG, Refusal::TooLarge, limit}; }

bool CFileDescriptor::Close() {
  const int fd = std::exchange(fd_, -1);
  return fd < 0 || ::close(fd) == 0;
}

ssize_t ReadFull(int fd, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

IoResult ReadAll(int fd, std::string& out) { return ReadAllUpTo(fd, kNoSizeLimit, out); }

IoResult WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return IoResult::FromErrno();
    }
    bytes.remove_prefix(static_cast<size_t>(put));
  }
  return {};
}

IoResult ReadAllUpTo(int fd, std::uint64_t limit, std::string& out) {
  char chunk[65536];
  std::uint64_t taken = 0;
  for (;;) {
    // One byte past the limit is enough to know the file is over it.
    const std::uint64_t remaining = limit - taken;
    const std::uint64_t wanted = remaining >= sizeof chunk ? sizeof chunk : remaining + 1;
    const ssize_t got = ::read(fd, chunk, static_cast<size_t>(wanted));
    if (got == 0) return {};
    if (got < 0) {
      if (errno == EINTR) continue;
      return IoResult::FromErrno();
    }
    taken += static_cast<std::uint64_t>(got);
    if (taken > limit) return IoResult::TooLarge(limit);
    out.append(chunk, static_cast<size_t>(got));
  }
}

IoResult OpenStoredFile(const std::string& path, std::uint64_t limit, CFileDescriptor& fd, int flags, mode_t mode) {
  fd = CFileDescriptor(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
  if (!fd.valid()) {
    // With O_NOFOLLOW, ELOOP means that the name itself is a link; EISDIR comes of opening a
    // folder for writing, ENXIO of a FIFO without a reader. Each is the refusal the descriptor's
    // check would have made.
    if ((errno == ELOOP && (flags & O_NOFOLLOW) != 0) || errno == EISDIR || errno == ENXIO) {
      return IoResult::NotRegularFile(errno == EISDIR);
    }
    return IoResult::FromErrno();
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    const IoResult failed = IoResult::FromErrno();
    fd = CFileDescriptor();
    return failed;
  }
  IoResult refused;
  if (!S_ISREG(info.st_mode)) {
    refused = IoResult::NotRegularFile(S_ISDIR(info.st_mode));
  } else if (static_cast<std::uint64_t>(info.st_size) > limit) {
    refused = IoResult::TooLarge(limit);
  }
  if (!refused.ok()) fd = CFileDescriptor();
  return refused;
}

IoResult ReadWholeFile(const std::string& path, std::uint64_t limit, std::string& out) {
  out.clear();
  CFileDescriptor fd;
  if (IoResult opened = OpenStoredFile(path, limit, fd); !opened.ok()) return opened;
  return ReadAllUpTo(fd.get(), limit, out);
}

}  // namespace tarnwick
