#include "formats/TextFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <system_error>

#include "formats/FileIo.h"

namespace tarnwick {
namespace {

[[noreturn]] void ThrowError(int code, const char* what) {
  throw std::system_error(code, std::system_category(), what);
}

}  // namespace

// A capacity below 2 would leave no room for a single character per line.
CTextFile::CTextFile(int32_t capacity)
    : buffer_(static_cast<size_t>(capacity < 2 ? 2 : capacity)), capacity_(capacity < 2 ? 2 : capacity) {}

CTextFile::~CTextFile() {
  if (fd_ >= 0) ::close(fd_);
}

IoResult CTextFile::OpenWith(const std::string& path, int flags, std::uint64_t limit) {
  Close();
  CFileDescriptor fd;
  const IoResult opened = OpenStoredFile(path, limit, fd, flags, 0666);
  fd_ = fd.release();
  limit_ = limit;
  return opened;
}

bool CTextFile::Open(const std::string& path) { return OpenWith(path, O_RDWR | O_CREAT, kNoSizeLimit).ok(); }

IoResult CTextFile::OpenReadOnly(const std::string& path, std::uint64_t limit) {
  return OpenWith(path, O_RDONLY, limit);
}

void CTextFile::ResetCounters() {
  filled_ = 0;
  position_ = 0;
  taken_ = 0;
  lineNumber_ = 0;
  lineWasCut_ = false;
  afterCr_ = false;
}

// The count saturates rather than wrapping: 0 would mean "refill first" and drop buffered bytes.
void CTextFile::CountLine() {
  if (lineNumber_ < std::numeric_limits<int32_t>::max()) ++lineNumber_;
}

void CTextFile::RequireOpen() const {
  if (fd_ < 0) ThrowError(EBADF, "text file not open");
}

void CTextFile::Rewind() {
  RequireOpen();
  ResetCounters();
  if (::lseek(fd_, 0, SEEK_SET) < 0) ThrowError(errno, "seek");
}

// Reads the next buffer-full; false when nothing more can be read.
bool CTextFile::Refill() {
  position_ = 0;
  filled_ = 0;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowError(errno, "read");
    taken_ += static_cast<std::uint64_t>(got);
    if (taken_ > limit_) ThrowError(EFBIG, "read past the size limit");
    filled_ = static_cast<int32_t>(got);
    return got > 0;
  }
}

bool CTextFile::ReadLine(std::string& line) {
  RequireOpen();
  line.clear();
  lineWasCut_ = false;
  const size_t longest = static_cast<size_t>(capacity_) - 1;
  bool refill = lineNumber_ == 0;
  for (;;) {
    if (refill || position_ >= filled_) {
      refill = false;
      if (!Refill()) {
        if (!line.empty()) {
          CountLine();
          return true;
        }
        lineNumber_ = 0;
        return false;
      }
    }
    while (position_ < filled_) {
      const char c = buffer_[static_cast<size_t>(position_)];
      if (c == '\r' || c == '\n') {
        // Any run of line breaks is one break: empty lines are never returned.
        ++position_;
        if (!line.empty()) {
          CountLine();
          return true;
        }
        continue;
      }
      if (line.size() >= longest) {
        // The rest of this text line comes back as a line of its own; the piece counts as a line.
        lineWasCut_ = true;
        CountLine();
        return true;
      }
      line += c;
      ++position_;
    }
  }
}

bool CTextFile::ReadWholeLine(std::string& line) {
  RequireOpen();
  line.clear();
  lineWasCut_ = false;
  bool refill = lineNumber_ == 0;
  for (;;) {
    if (refill || position_ >= filled_) {
      refill = false;
      if (!Refill()) {
        afterCr_ = false;
        // A text that ends without a break still ends its last line; an empty one ends nothing.
        if (!line.empty()) {
          CountLine();
          return true;
        }
        lineNumber_ = 0;
        return false;
      }
    }
    if (afterCr_) {
      afterCr_ = false;
      if (buffer_[static_cast<size_t>(position_)] == '\n') {
        ++position_;
        continue;
      }
    }
    const char* const begin = buffer_.data() + position_;
    const char* const end = buffer_.data() + filled_;
    const char* it = begin;
    while (it != end && *it != '\n' && *it != '\r') ++it;
    line.append(begin, it);
    position_ = static_cast<int32_t>(it - buffer_.data());
    if (it == end) continue;
    afterCr_ = *it == '\r';
    ++position_;
    CountLine();
    return true;
  }
}

void CTextFile::WriteString(std::string_view text) {
  RequireOpen();
  const IoResult written = WriteAll(fd_, text);
  if (!written.ok()) ThrowError(written.sysError, "write");
}

void CTextFile::Truncate() {
  RequireOpen();
  if (::ftruncate(fd_, 0) != 0) ThrowError(errno, "truncate");
  Rewind();
}

void CTextFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ResetCounters();
}

}  // namespace tarnwick
