#include "engine/CopyCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>

#include "app/Status.h"
#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "formats/FileIo.h"
#include "ftp/FtpHash.h"
#include "ftp/FtpSession.h"

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr long long kTimeStepNs = 2'000'000'000LL;

long long Nanoseconds(const struct timespec& time) { return time.tv_sec * 1'000'000'000LL + time.tv_nsec; }

// The digest of the file at `path` as upper-case hex, with one status text and progress position
// per chunk; the errno of the failure when it cannot be read. A stop ends it early with what was
// read so far.
bool FileDigest(JobContext& context, const std::string& path, HashAlgorithm algorithm, std::string& hex, int& error) {
  CFileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat status {};
  if (!in.valid() || ::fstat(in.get(), &status) != 0) {
    error = errno;
    return false;
  }
  ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  static thread_local std::unique_ptr<char[]> buffer;
  if (!buffer) buffer = std::make_unique<char[]>(kChunkSize);
  CDigest digest(algorithm);
  long long done = 0;
  while (!context.StopRequested()) {
    const ssize_t got = ReadFull(in.get(), buffer.get(), kChunkSize);
    if (got < 0) {
      error = errno;
      return false;
    }
    if (got == 0) break;
    digest.Update(buffer.get(), static_cast<std::size_t>(got));
    done += got;
    ShowPathStatus(context, IDS_VERIFY_STATUS, path, done / 1024);
    ShowPercent(context, done, status.st_size);
  }
  hex = digest.HexFinal();
  return true;
}

// The algorithm's name in the log's words.
const char* DigestTitle(HashAlgorithm algorithm) {
  return algorithm == HashAlgorithm::Crc32 ? "CRC-32" : HashAlgorithmName(algorithm);
}

// The remote file `remote` must be `size` bytes long, as the server's SIZE answer tells. `copyHere`:
// the file of `size` bytes is the copy and the remote one its source, rather than the other way.
std::string StoredSizeMismatch(CFtpSession& session, const std::string& remote, std::uint64_t size, bool copyHere) {
  std::uint64_t stored = 0;
  if (const Status asked = session.FileSize(remote, stored); !asked.ok()) {
    return FormatString(IDS_VERIFY_REMOTE_SIZE_UNKNOWN, asked.message().c_str());
  }
  if (stored == size) return {};
  const auto copySize = static_cast<long long>(copyHere ? size : stored);
  const auto sourceSize = static_cast<long long>(copyHere ? stored : size);
  return FormatString(IDS_VERIFY_SIZE_DIFFERS, copySize, sourceSize);
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

  std::string copyCrc, sourceCrc;
  int error = 0;
  if (!FileDigest(context, target, HashAlgorithm::Crc32, copyCrc, error)) {
    return FormatString(IDS_VERIFY_CANNOT_READ, SystemErrorText(error).c_str());
  }
  if (!FileDigest(context, source, HashAlgorithm::Crc32, sourceCrc, error)) {
    return FormatString(IDS_VERIFY_SOURCE_UNREADABLE, SystemErrorText(error).c_str());
  }
  if (context.StopRequested() || copyCrc == sourceCrc) return {};
  return FormatString(IDS_VERIFY_CONTENT_DIFFERS, DigestTitle(HashAlgorithm::Crc32), copyCrc.c_str(),
                      sourceCrc.c_str());
}

std::string ServerCopyMismatch(CFtpSession& from, const std::string& source, CFtpSession& to,
                               const std::string& target) {
  std::uint64_t size = 0;
  if (const Status asked = from.FileSize(source, size); !asked.ok()) {
    return FormatString(IDS_VERIFY_REMOTE_SIZE_UNKNOWN, asked.message().c_str());
  }
  return StoredSizeMismatch(to, target, size, false);
}

std::string RemoteCopyMismatch(JobContext& context, CFtpSession& session, const std::string& local,
                               const std::string& remote, CopyLies copy, bool content) {
  const bool copyHere = copy == CopyLies::Here;
  // The reason when the local file cannot be read: it is the copy or the source.
  auto unreadable = [copyHere](int error) {
    return FormatString(copyHere ? IDS_VERIFY_CANNOT_READ : IDS_VERIFY_SOURCE_UNREADABLE,
                        SystemErrorText(error).c_str());
  };
  struct stat here {};
  if (::stat(local.c_str(), &here) != 0) return unreadable(errno);
  if (std::string mismatch = StoredSizeMismatch(session, remote, static_cast<std::uint64_t>(here.st_size), copyHere);
      !mismatch.empty()) {
    return mismatch;
  }
  if (!content || !session.OffersHash()) return {};

  HashReply server;
  if (const Status asked = session.FileHash(remote, server); !asked.ok()) {
    return FormatString(IDS_VERIFY_REMOTE_HASH_UNKNOWN, asked.message().c_str());
  }
  std::string digest;
  if (int error = 0; !FileDigest(context, local, server.algorithm, digest, error)) return unreadable(error);
  if (context.StopRequested() || digest == server.digest) return {};
  const std::string& copyDigest = copyHere ? digest : server.digest;
  const std::string& sourceDigest = copyHere ? server.digest : digest;
  return FormatString(IDS_VERIFY_CONTENT_DIFFERS, DigestTitle(server.algorithm), copyDigest.c_str(),
                      sourceDigest.c_str());
}

}  // namespace tarnwick
