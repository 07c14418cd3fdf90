#include "engine/LocalCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>

#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "formats/FileIo.h"
#include "formats/PartFile.h"

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = std::size_t{2} * 1024 * 1024;

// Moves one chunk (up to `limit` bytes, at most kChunkSize, fewer only at the end of the file)
// from `in` to `out` at their file offsets. In-kernel copying is used while the file system takes
// it; otherwise one reused buffer per thread. Returns the bytes moved or -1 on a read or write
// error; `atEnd` is set once the end of the file was seen, so no further call is needed.
long long CopyChunk(int in, int out, std::size_t limit, bool& inKernel, bool fileStarted, bool& atEnd) {
  std::size_t moved = 0;
  while (moved < limit) {
    if (inKernel) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, limit - moved, 0);
      if (n > 0) {
        moved += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      // Not supported here (other file systems, special files), or a first "end" that pseudo files
      // report without being empty: let plain reads decide.
      if (n < 0 && errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
      if (n == 0 && (moved > 0 || fileStarted)) {
        atEnd = true;
        break;
      }
      inKernel = false;
      continue;
    }
    static thread_local std::unique_ptr<char[]> buffer;
    if (!buffer) buffer = std::make_unique<char[]>(kChunkSize);
    const ssize_t n = ::read(in, buffer.get(), limit - moved);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      atEnd = true;
      break;
    }
    if (!WriteAll(out, std::string_view(buffer.get(), static_cast<std::size_t>(n))).ok()) return -1;
    moved += static_cast<std::size_t>(n);
  }
  return static_cast<long long>(moved);
}

// Whether `fd` has nothing after offset `done`: a copy stopped there is already complete.
bool NothingAfter(int fd, long long done) {
  char probe;
  return ::pread(fd, &probe, 1, done) == 0;
}

// Whether the file takes fewer blocks than its size needs: only then are holes looked for. Files
// without holes, and pseudo files that report no size, keep the plain loop.
bool HasHoles(const struct stat& st) { return st.st_blocks * 512LL < st.st_size; }

// Moves the offsets of `in` and `out` to the next data of `in` at or after `at` and sets `at`
// there. Returns the bytes of data before the following hole; 0 when only a hole (or nothing)
// follows; -1 when the file system cannot tell, with both offsets left at `at`.
long long SeekNextData(int in, int out, long long& at) {
  const off_t data = ::lseek(in, at, SEEK_DATA);
  if (data < 0 && errno == ENXIO) return 0;
  const off_t hole = data < 0 ? -1 : ::lseek(in, data, SEEK_HOLE);
  if (hole <= data || ::lseek(in, data, SEEK_SET) < 0 || ::lseek(out, data, SEEK_SET) < 0) {
    ::lseek(in, at, SEEK_SET);
    ::lseek(out, at, SEEK_SET);
    return -1;
  }
  at = data;
  return hole - data;
}

}  // namespace

bool CopyLocalFile(JobContext& context, const std::string& source, const std::string& target) {
  // O_NONBLOCK keeps the open of a named pipe from waiting for a writer; such files are refused below.
  CFileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!in.valid()) return context.FailErrno(source, errno);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return context.FailErrno(source, errno);
  if (!S_ISREG(st.st_mode)) return context.Fail(Status::InvalidArgument(LoadString(IDS_FILE_NOT_REGULAR), source));

  CPartFile out(target, st.st_mode & 0777);
  if (!out.ok()) return context.FailErrno(target, out.error());

  const long long size = st.st_size;
  long long done = 0;  // the offset reached in the source and the copy; holes count as done
  bool inKernel = true;
  bool atEnd = false;
  // A file with holes is copied run of data by run of data: the holes are never written, so they
  // stay holes in the copy (a 100 GiB hole does not take 100 GiB at the destination).
  bool sparse = HasHoles(st);
  long long dataLeft = 0;  // with holes: bytes of data before the next one
  while (!atEnd) {
    if (context.StopRequested()) {
      // A stop after the last chunk of a file that fills its chunks exactly finds the copy
      // complete; it goes into place like any finished copy.
      if (NothingAfter(in.get(), done)) break;
      return true;  // the temporary file goes; an older copy stays
    }
    if (sparse && dataLeft == 0) {
      dataLeft = SeekNextData(in.get(), out.fd(), done);
      sparse = dataLeft >= 0;  // a file system that cannot tell gets a plain copy from here
      if (dataLeft == 0) {
        // Only a hole is left: the copy gets the source's length without writing it.
        const off_t end = ::lseek(in.get(), 0, SEEK_END);
        if (end < 0 || ::ftruncate(out.fd(), end) != 0) return context.FailErrno(target, errno);
        break;
      }
    }
    const std::size_t limit = sparse ? static_cast<std::size_t>(std::min<long long>(dataLeft, kChunkSize)) : kChunkSize;
    const long long moved = CopyChunk(in.get(), out.fd(), limit, inKernel, done > 0, atEnd);
    if (moved < 0) {
      // Reading the source or writing the copy: the system's words tell which.
      const int error = errno;
      std::string both = source;
      both.append(" -> ").append(target);
      return context.FailErrno(both, error);
    }
    if (moved == 0) break;
    done += moved;
    if (sparse) dataLeft -= moved;
    ShowPathStatus(context, IDS_BACKING_UP_STATUS, source, done / 1024);
    ShowPercent(context, done, size);
  }
  if (!out.SetModified(st.st_mtim) || !out.Commit()) return context.FailErrno(target, out.error());
  NoteFileWritten(context, std::max(done, size));
  return true;
}

}  // namespace tarnwick
