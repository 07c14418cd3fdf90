#include "engine/CopyCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <memory>

#include "app/Status.h"
#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "formats/FileIo.h"
#include "ftp/FtpSession.h"

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr long long kTimeStepNs = 2'000'000'000LL;

long long Nanoseconds(const struct timespec& time) { return time.tv_sec * 1'000'000'000LL + time.tv_nsec; }

// The CRC-32 of the file at `path`, with one status text and progress position per chunk; the
// errno of the failure when it cannot be read. A stop ends it early with what was read so far.
bool FileCrc(JobContext& context, const std::string& path, std::uint32_t& crc, int& error) {
  CFileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat status {};
  if (!in.valid() || ::fstat(in.get(), &status) != 0) {
    error = errno;
    return false;
  }
  ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  static thread_local std::unique_ptr<char[]> buffer;
  if (!buffer) buffer = std::make_unique<char[]>(kChunkSize);
  uLong sum = crc32_z(0, nullptr, 0);
  long long done = 0;
  while (!context.StopRequested()) {
    const ssize_t got = ReadFull(in.get(), buffer.get(), kChunkSize);
    if (got < 0) {
      error = errno;
      return false;
    }
    if (got == 0) break;
    sum = crc32_z(sum, reinterpret_cast<const Bytef*>(buffer.get()), static_cast<std::size_t>(got));
    done += got;
    ShowPathStatus(context, IDS_VERIFY_STATUS, path, done / 1024);
    ShowPercent(context, done, status.st_size);
  }
  crc = static_cast<std::uint32_t>(sum);
  return true;
}

}  // namespace

std::string LocalCopyMismatch(JobContext& context, const std::string& source, const std::string& target, bool content) {
  struct stat copy {};
  struct stat original {};
  if (::stat(target.c_str(), &copy) != 0) return FormatString(IDS_VERIFY_CANNOT_READ, SystemErrorText(errno).c_str());
  if (::stat(source.c_str(), &original) != 0) {
    return FormatString(IDS_VERIFY_SOURCE_UNREADABLE, SystemErrorText(errno).c_str());
  }
  if (copy.st_size != original.st_size) {
    return FormatString(IDS_VERIFY_SIZE_DIFFERS, static_cast<long long>(copy.st_size),
                        static_cast<long long>(original.st_size));
  }
  const long long drift = Nanoseconds(copy.st_mtim) - Nanoseconds(original.st_mtim);
  if (drift >= kTimeStepNs || drift <= -kTimeStepNs) return LoadString(IDS_VERIFY_TIME_DIFFERS);
  if (!content) return {};

  std::uint32_t copyCrc = 0, sourceCrc = 0;
  int error = 0;
  if (!FileCrc(context, target, copyCrc, error)) {
    return FormatString(IDS_VERIFY_CANNOT_READ, SystemErrorText(error).c_str());
  }
  if (!FileCrc(context, source, sourceCrc, error)) {
    return FormatString(IDS_VERIFY_SOURCE_UNREADABLE, SystemErrorText(error).c_str());
  }
  if (context.StopRequested() || copyCrc == sourceCrc) return {};
  return FormatString(IDS_VERIFY_CONTENT_DIFFERS, copyCrc, sourceCrc);
}

std::string RemoteSizeMismatch(CFtpSession& session, const std::string& target, long long size) {
  std::uint64_t stored = 0;
  if (const Status asked = session.FileSize(target, stored); !asked.ok()) {
    return FormatString(IDS_VERIFY_REMOTE_SIZE_UNKNOWN, asked.message().c_str());
  }
  if (stored == static_cast<std::uint64_t>(size)) return {};
  return FormatString(IDS_VERIFY_SIZE_DIFFERS, static_cast<long long>(stored), size);
}

std::string RemoteCopyMismatch(CFtpSession& session, const std::string& source, const std::string& target) {
  struct stat original {};
  if (::stat(source.c_str(), &original) != 0) {
    return FormatString(IDS_VERIFY_SOURCE_UNREADABLE, SystemErrorText(errno).c_str());
  }
  return RemoteSizeMismatch(session, target, original.st_size);
}

}  // namespace tarnwick
