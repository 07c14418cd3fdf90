#include "engine/FtpTransfers.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <string_view>
#include <utility>
#include <vector>

#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "engine/PathFilter.h"
#include "formats/FileIo.h"
#include "formats/PartFile.h"

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = CFtpSession::kChunkSize;

// What a remote store reads: called once per attempt, it feeds the whole file from its start to
// `sink` (false there: a write error) and says how the reading ended.
using Sink = std::function<bool(std::string_view bytes)>;
using Feed = std::function<ReceiveResult(const Sink& sink)>;

// The outcome of a transfer that has failed: a stop cuts transfers short, and what fails then was
// stopped, which is not a failure.
bool FailedUnlessStopped(JobContext& context) { return context.StopRequested(); }

// Writes `feed` into the remote file `path` on `to`; true when the server confirmed it complete.
// `written` tells whether the server may hold a (partial) file at `path` afterwards.
// A failure leaves the server's words in `context`.
ReceiveResult WriteRemote(JobContext& context, CFtpSession& to, const std::string& path, const Feed& feed,
                          bool& written) {
  std::unique_ptr<CFtpFile> file;
  if (const Status opened = to.OpenFile(path, FtpFileMode::Write, file); !opened.ok()) {
    context.Fail(opened);
    return ReceiveResult::Failed;
  }
  written = true;
  const ReceiveResult result = feed([&context, &file](std::string_view bytes) {
    const Status sent = file->Write(bytes.data(), bytes.size());
    return sent.ok() || context.Fail(sent);
  });
  if (result != ReceiveResult::Complete) return result;  // destroying the file abandons the transfer
  if (const Status closed = std::exchange(file, nullptr)->Close(); !closed.ok()) {
    context.Fail(closed);
    return ReceiveResult::Failed;
  }
  return ReceiveResult::Complete;
}

// Renames the finished temporary file over `target`. A server that will not rename over an existing
// file gets the old one deleted first, but only now that the new one is whole.
bool RenameOver(CFtpSession& session, const std::string& temporary, const std::string& target) {
  if (session.Rename(temporary, target).ok()) return true;
  return session.DeleteFile(target).ok() && session.Rename(temporary, target).ok();
}

// Stores what `feed` gives as `target` on `to`: under a temporary name beside it, renamed over it
// once complete, so an older copy survives a failed or stopped transfer. A server that refuses the
// rename (an account that may store but not rename) gets the file under its final name directly,
// once the log said so; the session then stores every later file that way.
bool StoreRemote(JobContext& context, CFtpJobConnection& to, const std::string& target, const Feed& bytesFeed) {
  // The bytes of the last attempt, for the tally of a file that arrives whole.
  long long sent = 0;
  const Feed feed = [&](const Sink& sink) {
    sent = 0;
    return bytesFeed([&](std::string_view bytes) {
      sent += static_cast<long long>(bytes.size());
      return sink(bytes);
    });
  };
  const auto arrived = [&] {
    NoteFileWritten(context, sent);
    return true;
  };
  CFtpSession& session = to.Session();
  if (!to.RenameRefused()) {
    const std::string temporary = TemporaryNameBeside(target);
    bool written = false;
    const ReceiveResult result = WriteRemote(context, session, temporary, feed, written);
    if (result != ReceiveResult::Complete) {
      // One the server keeps is stale, and the next run of this target removes it.
      if (written) (void)session.DeleteFile(temporary);
      return result == ReceiveResult::Stopped || (result == ReceiveResult::Failed && FailedUnlessStopped(context));
    }
    if (RenameOver(session, temporary, target)) return arrived();
    to.SetRenameRefused();
    // Not a failure: the file arrives whole, only not atomically.
    context.log.LogActionText(LOG_BACKUPFILE, FormatString(IDS_RENAME_REFUSED_ROW, target.c_str()));
    // The complete copy stays under its temporary name until the direct store has succeeded.
    bool direct = false;
    if (WriteRemote(context, session, target, feed, direct) != ReceiveResult::Complete)
      return FailedUnlessStopped(context);
    (void)session.DeleteFile(temporary);  // as above: stale, removed next time
    return arrived();
  }
  bool written = false;
  const ReceiveResult result = WriteRemote(context, session, target, feed, written);
  if (result == ReceiveResult::Complete) return arrived();
  return result == ReceiveResult::Stopped || FailedUnlessStopped(context);
}

// A remote file received into `sink` with the copy job's "Backing up %s | %d KB" status per chunk.
ReceiveResult ReceiveBackingUp(JobContext& context, CFtpFile& file, const std::string& source, const Sink& sink) {
  long long kilobytes = 0;
  return ReceiveRemoteFile(
      context, file, [&sink](const char* data, std::size_t size) { return sink(std::string_view(data, size)); },
      [&](long long chunk) {
        kilobytes += chunk / 1024;  // truncated per chunk
        ShowPathStatus(context, IDS_BACKING_UP_STATUS, source, kilobytes);
      });
}

}  // namespace

bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection) {
  return UploadFile(context, source, target, connection, [&](long long, long long done, long long size) {
    ShowPathStatus(context, IDS_BACKING_UP_STATUS, source, done / 1024);
    ShowPercent(context, done, size);
  });
}

bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection, const UploadReport& report) {
  CFileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!in.valid()) return context.FailErrno(source, errno);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return context.FailErrno(source, errno);
  if (!S_ISREG(st.st_mode)) return context.Fail(Status::InvalidArgument(LoadString(IDS_FILE_NOT_REGULAR), source));

  std::vector<char> buffer(kChunk);
  const long long size = st.st_size;
  return StoreRemote(context, connection, target, [&](const Sink& sink) {
    if (::lseek(in.get(), 0, SEEK_SET) != 0) return ReceiveResult::Failed;
    long long done = 0;
    for (;;) {
      if (context.StopRequested()) return ReceiveResult::Stopped;  // the part goes; the older copy stays
      const ssize_t n = ReadFull(in.get(), buffer.data(), buffer.size());
      if (n < 0) {
        context.FailErrno(source, errno);
        return ReceiveResult::Failed;
      }
      if (n == 0) return ReceiveResult::Complete;
      done += n;
      report(n, done, size);
      if (!sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return ReceiveResult::Failed;
    }
  });
}

ReceiveResult ReceiveRemoteFile(JobContext& context, CFtpFile& file,
                                const std::function<bool(const char* data, std::size_t size)>& sink,
                                const std::function<void(long long chunk)>& onChunk) {
  std::vector<char> buffer(kChunk);
  for (;;) {
    if (context.StopRequested()) return ReceiveResult::Stopped;
    // A stop interrupts a read or write the FTP layer is waiting on; what fails then was stopped.
    const auto failed = [&context] { return context.StopRequested() ? ReceiveResult::Stopped : ReceiveResult::Failed; };
    std::size_t n = 0;
    if (const Status read = file.Read(buffer.data(), buffer.size(), n); !read.ok()) {
      context.Fail(read);
      return failed();
    }
    if (n == 0) {
      const Status closed = file.Close();
      return closed.ok() || context.Fail(closed) ? ReceiveResult::Complete : failed();
    }
    if (!sink(buffer.data(), static_cast<std::size_t>(n))) return failed();
    onChunk(static_cast<long long>(n));
  }
}

bool CanCreateRemoteFile(CFtpJobConnection& connection, const std::string& target) {
  // One fixed name per folder: should the account not be allowed to delete it, every later check
  // reuses the same file instead of leaving one more behind.
  const auto slash = target.rfind('/');
  const std::string probe =
      (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".tarnwick-probe";
  std::unique_ptr<CFtpFile> file;
  if (!connection.Session().OpenFile(probe, FtpFileMode::Write, file).ok()) return false;
  // The store counts only once the server confirmed it: one refused at its end (a full disk, a
  // quota) would refuse the archive too.
  const bool stored = file->Close().ok();
  file.reset();
  (void)connection.Session().DeleteFile(probe);
  return stored;
}

bool DownloadFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                  CFtpJobConnection& connection) {
  CreateLocalFolderChain(targetFolder);
  const std::string target = JoinPath(targetFolder, LastPathComponent(source));
  CPartFile out(target, 0666);
  if (!out.ok()) return context.FailErrno(target, out.error());
  std::unique_ptr<CFtpFile> in;
  // No empty file is left: the older local copy stays.
  if (const Status opened = connection.Session().OpenFile(source, FtpFileMode::Read, in); !opened.ok()) {
    return context.Fail(opened);
  }
  long long received = 0;
  const ReceiveResult result = ReceiveBackingUp(context, *in, source, [&](std::string_view bytes) {
    received += static_cast<long long>(bytes.size());
    return out.Write(bytes) || context.FailErrno(target, out.error());
  });
  in.reset();
  if (result == ReceiveResult::Stopped) return true;
  if (result != ReceiveResult::Complete) return false;
  if (!out.Commit()) return context.FailErrno(target, out.error());
  NoteFileWritten(context, received);
  return true;
}

bool CopyRemoteFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                    CFtpJobConnection& from, CFtpJobConnection& to) {
  std::unique_ptr<CFtpFile> in;
  if (const Status opened = from.Session().OpenFile(source, FtpFileMode::Read, in); !opened.ok()) {
    return context.Fail(opened);
  }
  return StoreRemote(context, to, JoinPath(targetFolder, LastPathComponent(source)), [&](const Sink& sink) {
    // A second attempt (a server refusing renames) reads the source again.
    if (!in && !from.Session().OpenFile(source, FtpFileMode::Read, in).ok()) return ReceiveResult::Failed;
    const ReceiveResult result = ReceiveBackingUp(context, *in, source, sink);
    in.reset();
    return result;
  });
}

}  // namespace tarnwick
