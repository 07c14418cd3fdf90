#include "engine/CopyCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

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

// One of the two chunk buffers of this thread (`second` picks the other), kept for its next check.
char* ChunkBuffer(bool second) {
  static thread_local std::array<std::unique_ptr<char[]>, 2> buffers;
  std::unique_ptr<char[]>& buffer = buffers[second ? 1 : 0];
  if (!buffer) buffer = std::make_unique<char[]>(kChunkSize);
  return buffer.get();
}

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
  char* const buffer = ChunkBuffer(false);
  CDigest digest(algorithm);
  long long done = 0;
  while (!context.StopRequested()) {
    const ssize_t got = ReadFull(in.get(), buffer, kChunkSize);
    if (got < 0) {
      error = errno;
      return false;
    }
    if (got == 0) break;
    digest.Update(buffer, static_cast<std::size_t>(got));
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

// One side of a byte comparison.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills `buffer` with `size` bytes, fewer only at the end of the file (0 once there). The reason
  // in the log's words when the file cannot be read.
  virtual std::string Read(char* buffer, std::size_t size, std::size_t& got) = 0;
};

// A local file; `reasonId` words its failure ("it cannot be read (%s)" or its source's).
class LocalBytes final : public ByteSource {
 public:
  LocalBytes(const std::string& path, unsigned reasonId)
      : in_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)),
        openError_(in_.valid() ? 0 : errno),
        reasonId_(reasonId) {
    if (in_.valid()) ::posix_fadvise(in_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  std::string Read(char* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    if (!in_.valid()) return Reason(openError_);
    const ssize_t n = ReadFull(in_.get(), buffer, size);
    if (n < 0) return Reason(errno);
    got = static_cast<std::size_t>(n);
    return {};
  }

 private:
  std::string Reason(int error) const { return FormatString(reasonId_, SystemErrorText(error).c_str()); }
  CFileDescriptor in_;
  int openError_;
  unsigned reasonId_;
};

// A file on a server, downloaded as it is compared. A transfer left before its end is given up.
class RemoteBytes final : public ByteSource {
 public:
  RemoteBytes(CFtpSession& session, const std::string& path, unsigned reasonId)
      : opened_(session.OpenFile(path, FtpFileMode::Read, file_)), reasonId_(reasonId) {}
  std::string Read(char* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    if (!opened_.ok()) return Reason(opened_);
    while (got < size && !ended_) {
      std::size_t n = 0;
      if (const Status read = file_->Read(buffer + got, size - got, n); !read.ok()) return Reason(read);
      if (n == 0) {
        // Only a transfer the server confirmed as complete has really ended here.
        ended_ = true;
        if (const Status closed = file_->Close(); !closed.ok()) return Reason(closed);
      }
      got += n;
    }
    return {};
  }

 private:
  std::string Reason(const Status& status) const { return FormatString(reasonId_, status.message().c_str()); }
  std::unique_ptr<CFtpFile> file_;
  Status opened_;
  unsigned reasonId_;
  bool ended_ = false;
};

// Reads `copy` and `source` side by side in chunks and compares their bytes, with one status text
// and progress position (of `total` bytes) per chunk, named after `path`. The mismatch in the log's
// words, or empty when they match or a stop ended the comparison.
std::string CompareBytes(JobContext& context, const std::string& path, long long total, ByteSource& copy,
                         ByteSource& source) {
  char* const copyBuffer = ChunkBuffer(false);
  char* const sourceBuffer = ChunkBuffer(true);
  long long done = 0;
  for (;;) {
    if (context.StopRequested()) return {};
    std::size_t copyGot = 0, sourceGot = 0;
    std::string failed = copy.Read(copyBuffer, kChunkSize, copyGot);
    if (failed.empty()) failed = source.Read(sourceBuffer, kChunkSize, sourceGot);
    if (context.StopRequested()) return {};  // a read a stop broke off is no mismatch
    if (!failed.empty()) return failed;
    // memcmp is the fast test; where it fails, the first differing byte is looked for.
    if (copyGot != sourceGot || std::memcmp(copyBuffer, sourceBuffer, copyGot) != 0) {
      const std::size_t common = std::min(copyGot, sourceGot);
      const auto differ = std::mismatch(copyBuffer, copyBuffer + common, sourceBuffer);
      return FormatString(IDS_VERIFY_BYTES_DIFFER, done + (differ.first - copyBuffer));
    }
    done += static_cast<long long>(copyGot);
    ShowPathStatus(context, IDS_VERIFY_STATUS, path, done / 1024);
    ShowPercent(context, done, total);
    if (copyGot < kChunkSize) return {};
  }
}

CopyVerdict Mismatch(std::string why) { return {std::move(why), {}}; }

// A comparison that found nothing wrong is named by `method`.
CopyVerdict Verdict(std::string mismatch, std::string method) {
  if (!mismatch.empty()) return Mismatch(std::move(mismatch));
  return {{}, std::move(method)};
}

}  // namespace

CopyVerdict CheckLocalCopy(JobContext& context, const std::string& source, const std::string& target) {
  struct stat copy {};
  struct stat original {};
  if (::stat(target.c_str(), &copy) != 0) {
    return Mismatch(FormatString(IDS_VERIFY_CANNOT_READ, SystemErrorText(errno).c_str()));
  }
  if (::stat(source.c_str(), &original) != 0) {
    return Mismatch(FormatString(IDS_VERIFY_SOURCE_UNREADABLE, SystemErrorText(errno).c_str()));
  }
  if (copy.st_size != original.st_size) {
    return Mismatch(FormatString(IDS_VERIFY_SIZE_DIFFERS, static_cast<long long>(copy.st_size),
                                 static_cast<long long>(original.st_size)));
  }
  const long long drift = Nanoseconds(copy.st_mtim) - Nanoseconds(original.st_mtim);
  if (drift >= kTimeStepNs || drift <= -kTimeStepNs) return Mismatch(LoadString(IDS_VERIFY_TIME_DIFFERS));
  // Size and time are what a changed copy keeps most easily: only the bytes tell.
  LocalBytes copyBytes(target, IDS_VERIFY_CANNOT_READ);
  LocalBytes sourceBytes(source, IDS_VERIFY_SOURCE_UNREADABLE);
  return Verdict(CompareBytes(context, target, copy.st_size, copyBytes, sourceBytes),
                 LoadString(IDS_VERIFY_BY_BOTH_READ));
}

CopyVerdict CheckServerCopy(JobContext& context, CFtpSession& from, const std::string& source, CFtpSession& to,
                            const std::string& target, bool readBack) {
  std::uint64_t size = 0;
  if (const Status asked = from.FileSize(source, size); !asked.ok()) {
    return Mismatch(FormatString(IDS_VERIFY_REMOTE_SIZE_UNKNOWN, asked.message().c_str()));
  }
  if (std::string mismatch = StoredSizeMismatch(to, target, size, false); !mismatch.empty()) return Mismatch(mismatch);
  if (!readBack) return {{}, LoadString(IDS_VERIFY_BY_SIZE_TWO_SERVERS)};
  RemoteBytes copyBytes(to, target, IDS_VERIFY_READ_BACK_FAILED);
  RemoteBytes sourceBytes(from, source, IDS_VERIFY_SOURCE_UNREADABLE);
  return Verdict(CompareBytes(context, target, static_cast<long long>(size), copyBytes, sourceBytes),
                 LoadString(IDS_VERIFY_BY_READ_BACK));
}

CopyVerdict CheckRemoteCopy(JobContext& context, CFtpSession& session, const std::string& local,
                            const std::string& remote, CopyLies copy, bool readBack) {
  const bool copyHere = copy == CopyLies::Here;
  const unsigned localReason = copyHere ? IDS_VERIFY_CANNOT_READ : IDS_VERIFY_SOURCE_UNREADABLE;
  struct stat here {};
  if (::stat(local.c_str(), &here) != 0) return Mismatch(FormatString(localReason, SystemErrorText(errno).c_str()));
  if (std::string mismatch = StoredSizeMismatch(session, remote, static_cast<std::uint64_t>(here.st_size), copyHere);
      !mismatch.empty()) {
    return Mismatch(mismatch);
  }
  const std::string& copyPath = copyHere ? local : remote;
  if (readBack) {
    // What the server says about a file proves nothing when the server is not trusted: its bytes do.
    LocalBytes localBytes(local, localReason);
    RemoteBytes remoteBytes(session, remote, copyHere ? IDS_VERIFY_SOURCE_UNREADABLE : IDS_VERIFY_READ_BACK_FAILED);
    ByteSource& copyBytes = copyHere ? static_cast<ByteSource&>(localBytes) : remoteBytes;
    ByteSource& sourceBytes = copyHere ? static_cast<ByteSource&>(remoteBytes) : localBytes;
    return Verdict(CompareBytes(context, copyPath, here.st_size, copyBytes, sourceBytes),
                   LoadString(IDS_VERIFY_BY_READ_BACK));
  }
  if (!session.OffersHash()) return {{}, LoadString(IDS_VERIFY_BY_SIZE_NO_HASH)};

  HashReply server;
  if (const Status asked = session.FileHash(remote, server); !asked.ok()) {
    return Mismatch(FormatString(IDS_VERIFY_REMOTE_HASH_UNKNOWN, asked.message().c_str()));
  }
  std::string digest;
  if (int error = 0; !FileDigest(context, local, server.algorithm, digest, error)) {
    return Mismatch(FormatString(localReason, SystemErrorText(error).c_str()));
  }
  const std::string method = FormatString(IDS_VERIFY_BY_SERVER_HASH, HashAlgorithmName(server.algorithm));
  if (context.StopRequested() || digest == server.digest) return {{}, method};
  const std::string& copyDigest = copyHere ? digest : server.digest;
  const std::string& sourceDigest = copyHere ? server.digest : digest;
  return Mismatch(FormatString(IDS_VERIFY_CONTENT_DIFFERS, DigestTitle(server.algorithm), copyDigest.c_str(),
                               sourceDigest.c_str()));
}

}  // namespace tarnwick
