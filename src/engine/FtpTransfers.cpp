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

// The remote file an upload or copy is written to, beside its target on `connection`. Until it is
// committed, the temporary file is abandoned and deleted when this goes away.
class RemotePartFile {
 public:
  RemotePartFile(CFtpJobConnection& connection, const std::string& target)
      : session_(connection.Session()), path_(TemporaryNameBeside(target)) {
    file_ = session_.OpenFile(path_, FtpFileMode::Write);
  }
  ~RemotePartFile() {
    if (!file_ && !created_) return;
    file_.reset();  // abandons a transfer still running
    session_.DeleteFile(path_);
  }
  RemotePartFile(const RemotePartFile&) = delete;
  RemotePartFile& operator=(const RemotePartFile&) = delete;

  bool ok() const { return file_ != nullptr; }
  bool Write(std::string_view bytes) { return file_->Write(bytes.data(), bytes.size()); }

  // Ends the transfer; true when the server confirmed it complete.
  bool Finish() {
    created_ = true;
    return std::exchange(file_, nullptr)->Close();
  }

  // Renames the finished file over `target`. A server that will not rename over an existing file
  // gets the old one deleted first, but only now that the new one is whole.
  bool Commit(const std::string& target) {
    if (!session_.Rename(path_, target)) {
      if (!session_.DeleteFile(target)) return false;
      // The older copy is gone now: should the rename still fail, the complete new copy stays
      // under its temporary name rather than being thrown away too.
      created_ = false;
      return session_.Rename(path_, target);
    }
    created_ = false;
    return true;
  }

 private:
  CFtpSession& session_;
  std::string path_;
  std::unique_ptr<CFtpFile> file_;
  bool created_ = false;  // closed but not yet renamed
};

// A remote file received into `out` with the copy job's "Backing up %s | %d KB" status per chunk.
template <typename PartFile>
ReceiveResult ReceiveBackingUp(JobContext& context, CFtpFile& file, const std::string& source, PartFile& out) {
  long long kilobytes = 0;
  return ReceiveRemoteFile(
      context, file, [&out](const char* data, std::size_t size) { return out.Write(std::string_view(data, size)); },
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
  if (!in.valid()) return false;
  struct stat st {};
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

  RemotePartFile out(connection, target);
  if (!out.ok()) return false;

  std::vector<char> buffer(kChunk);
  const long long size = st.st_size;
  long long done = 0;
  for (;;) {
    if (context.StopRequested()) return true;  // the part goes; the older remote copy stays
    const ssize_t n = ReadFull(in.get(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (n == 0) break;
    done += n;
    report(n, done, size);
    // A stop may cut the chunk short inside the FTP layer: that is still a stop, not a failure.
    if (!out.Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return context.StopRequested();
  }
  if (!out.Finish()) return context.StopRequested();
  return out.Commit(target);
}

ReceiveResult ReceiveRemoteFile(JobContext& context, CFtpFile& file,
                                const std::function<bool(const char* data, std::size_t size)>& sink,
                                const std::function<void(long long chunk)>& onChunk) {
  std::vector<char> buffer(kChunk);
  for (;;) {
    if (context.StopRequested()) return ReceiveResult::Stopped;
    // A stop interrupts a read or write the FTP layer is waiting on; what fails then was stopped.
    const auto failed = [&context] { return context.StopRequested() ? ReceiveResult::Stopped : ReceiveResult::Failed; };
    const std::ptrdiff_t n = file.Read(buffer.data(), buffer.size());
    if (n < 0) return failed();
    if (n == 0) return file.Close() ? ReceiveResult::Complete : failed();
    if (!sink(buffer.data(), static_cast<std::size_t>(n))) return failed();
    onChunk(n);
  }
}

bool CanCreateRemoteFile(CFtpJobConnection& connection, const std::string& target) {
  const std::string probe = TemporaryNameBeside(target);
  std::unique_ptr<CFtpFile> file = connection.Session().OpenFile(probe, FtpFileMode::Write);
  if (!file) return false;
  file->Close();
  file.reset();
  connection.Session().DeleteFile(probe);
  return true;
}

bool DownloadFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                  CFtpJobConnection& connection) {
  CreateLocalFolderChain(targetFolder);
  CPartFile out(JoinPath(targetFolder, LastPathComponent(source)), 0666);
  if (!out.ok()) return false;
  std::unique_ptr<CFtpFile> in = connection.Session().OpenFile(source, FtpFileMode::Read);
  if (!in) return false;  // no empty file is left: the older local copy stays
  const ReceiveResult result = ReceiveBackingUp(context, *in, source, out);
  in.reset();
  if (result == ReceiveResult::Stopped) return true;
  return result == ReceiveResult::Complete && out.Commit();
}

bool CopyRemoteFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                    CFtpJobConnection& from, CFtpJobConnection& to) {
  std::unique_ptr<CFtpFile> in = from.Session().OpenFile(source, FtpFileMode::Read);
  if (!in) return false;
  const std::string target = JoinPath(targetFolder, LastPathComponent(source));
  RemotePartFile out(to, target);
  if (!out.ok()) return false;
  const ReceiveResult result = ReceiveBackingUp(context, *in, source, out);
  in.reset();
  if (result == ReceiveResult::Stopped) return true;
  if (result != ReceiveResult::Complete) return false;
  if (!out.Finish()) return context.StopRequested();
  return out.Commit(target);
}

}  // namespace tarnwick
