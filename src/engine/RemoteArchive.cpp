#include "engine/RemoteArchive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/StringTable.h"
#include "engine/EngineTexts.h"
#include "engine/LocalCopy.h"
#include "zip/ZipException.h"
#include "zip/ZipWriter.h"

namespace tarnwick {

namespace {

// An unlinked temporary file in the temporary folder: written once, then read back by the writer.
// It disappears with its descriptor, whatever way the job ends.
class SpoolFile : public CZipInputStream {
 public:
  SpoolFile() {
    std::error_code ignored;
    const std::string folder = std::filesystem::temp_directory_path(ignored).string();
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
      // File systems without O_TMPFILE: a named file, unlinked at once.
      std::string pattern = folder + "/.tarnwick-spool-XXXXXX";
      fd = ::mkostemp(pattern.data(), O_CLOEXEC);
      if (fd >= 0) ::unlink(pattern.c_str());
    }
    if (fd >= 0) {
      file_ = ::fdopen(fd, "w+b");
      if (file_ == nullptr) ::close(fd);
    }
  }
  ~SpoolFile() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  SpoolFile(const SpoolFile&) = delete;
  SpoolFile& operator=(const SpoolFile&) = delete;

  bool ok() const { return file_ != nullptr; }

  bool Append(const char* data, std::size_t size) {
    if (std::fwrite(data, 1, size, file_) != size) return false;
    size_ += static_cast<std::int64_t>(size);
    return true;
  }
  bool Rewind() { return std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0; }

  std::size_t Read(void* buffer, std::size_t size) override {
    const std::size_t n = std::fread(buffer, 1, size, file_);
    if (n < size && std::ferror(file_)) throw CZipException(CZipException::hardIO, "", errno);
    read_ += static_cast<std::int64_t>(n);
    return n;
  }
  std::int64_t RemainingSize() const override { return size_ - read_; }

 private:
  std::FILE* file_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t read_ = 0;
};

void LogRow(JobContext& context, int code, const char* format, const std::string& path) {
  context.log.LogActionText(code, FormatText(format, path.c_str()));
}

void AddLogged(JobContext& context, const std::string& remotePath, CFtpJobConnection& connection,
               const std::string& name, CZipWriter& writer) {
  LogRow(context, LOG_BACKUPFILE, kBackupFileText, remotePath);
  if (!AddRemoteFileToArchive(context, remotePath, connection, name, context.job.zipLevel, writer)) {
    LogRow(context, LOG_ERROR, kBackupFailedText, remotePath);
  }
}

}  // namespace

bool AddRemoteFileToArchive(JobContext& context, const std::string& remotePath, CFtpJobConnection& connection,
                            const std::string& name, int level, CZipWriter& writer) {
  std::unique_ptr<CFtpFile> file;
  if (!connection.Session().OpenFile(remotePath, FtpFileMode::Read, file).ok()) return false;
  SpoolFile spool;
  if (!spool.ok()) return false;
  long long kilobytes = 0;
  const ReceiveResult result = ReceiveRemoteFile(
      context, *file, [&spool](const char* data, std::size_t size) { return spool.Append(data, size); },
      [&](long long chunk) {
        kilobytes += chunk / 1024;
        context.observer.OnStatusText(FormatText(kAddingToZipText, remotePath.c_str(), static_cast<int>(kilobytes)));
      });
  file.reset();
  if (result == ReceiveResult::Stopped) return true;
  if (result == ReceiveResult::Failed || !spool.Rewind()) return false;
  return writer.AddFileFromStream(spool, name, level);
}

void ListRemoteFolderForArchive(const std::string& folder, const std::string& includeList,
                                const std::string& excludeList, CFtpJobConnection& connection, bool recursive,
                                bool serverIsUnix, const std::string& parentFolder, TransferList& list) {
  const std::string prefix = parentFolder + "/";
  for (std::string& path : CollectRemotePaths(connection, folder, includeList, excludeList, recursive, serverIsUnix)) {
    std::string name = path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
    list.push_back({std::move(path), std::move(name)});
  }
}

bool ZipRemoteSource(JobContext& context, const FtpSource& source, CZipWriter& writer) {
  FtpSite site = source.site;
  FtpJobConnection connection = ConnectForJob(context, site, false);
  if (!connection) return false;
  for (const SourceItem& item : source.items) {
    if (context.StopRequested()) break;
    if (item.kind == ItemKind::FtpFile) {
      AddLogged(context, item.path, *connection, LastPathComponent(item.path), writer);
    } else if (item.kind == ItemKind::FtpFolder) {
      const auto slash = item.path.rfind('/');
      // A folder path without "/" has no parent to take off: its files keep their whole path.
      const std::string parent = slash == std::string::npos ? std::string() : item.path.substr(0, slash);
      const FilterLists filter = SplitFilter(item.filter);
      TransferList list;
      ListRemoteFolderForArchive(item.path, filter.include, filter.exclude, *connection, item.recursive,
                                 site.serverIsUnix, parent, list);
      for (const TransferEntry& entry : list) {
        if (context.StopRequested()) break;
        AddLogged(context, entry.source, *connection, entry.target, writer);
      }
    }
  }
  CloseJobConnection(connection);
  return true;
}

std::string RemoteArchivePathForJob(const BackupJob& job, CFtpJobConnection& connection) {
  const std::string path = RemoteArchivePath(job.zipPath, job.ftpDest.host);
  const std::string& typed = job.ftpDest.remotePath;
  // The destination text puts a "/" between the host and a relative remote path; that "/" is not
  // the server's root.
  if ((typed.empty() || typed.front() != '/') && !path.empty() && path.front() == '/') {
    return connection.Session().AbsolutePath(path.substr(1));
  }
  return path;
}

bool PrepareRemoteArchive(JobContext& context, CFtpJobConnection& connection, const std::string& remotePath) {
  // A date folder is new on every day's first run: without it the archive could never be created.
  const auto slash = remotePath.rfind('/');
  if (slash != std::string::npos) CreateRemoteFolderChain(context, connection, remotePath.substr(0, slash));
  return CanCreateRemoteFile(connection, remotePath);
}

bool UploadArchive(JobContext& context, const std::string& localPath, const std::string& remotePath,
                   CFtpJobConnection& connection) {
  long long kilobytes = 0;
  return UploadFile(context, localPath, remotePath, connection, [&](long long chunk, long long, long long) {
    kilobytes += chunk / 1024;
    context.observer.OnStatusText(FormatText(kCompressingToText, remotePath.c_str(), static_cast<int>(kilobytes)));
  });
}

}  // namespace tarnwick
