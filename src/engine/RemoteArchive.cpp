#include "engine/RemoteArchive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/StringTable.h"
#include "engine/FtpTransfers.h"
#include "engine/JobReport.h"
#include "engine/PathFilter.h"
#include "engine/RemoteListing.h"
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

void AddLogged(JobContext& context, CFtpJobConnection& connection, const std::string& remotePath,
               const std::string& name, CZipWriter& writer) {
  LogBackupFile(context, remotePath);
  if (!AddRemoteFileToArchive(context, connection, remotePath, name, writer)) LogBackupFailed(context, remotePath);
}

}  // namespace

bool AddRemoteFileToArchive(JobContext& context, CFtpJobConnection& connection, const std::string& remotePath,
                            const std::string& name, CZipWriter& writer) {
  std::unique_ptr<CFtpFile> file;
  if (!connection.Session().OpenFile(remotePath, FtpFileMode::Read, file).ok()) return false;
  SpoolFile spool;
  if (!spool.ok()) return false;
  long long kilobytes = 0;
  const ReceiveResult result = ReceiveRemoteFile(
      context, *file, [&spool](const char* data, std::size_t size) { return spool.Append(data, size); },
      [&](long long chunk) {
        kilobytes += chunk / 1024;
        ShowPathStatus(context, IDS_ADDING_TO_ZIP_STATUS, remotePath, kilobytes);
      });
  file.reset();
  if (result == ReceiveResult::Stopped) return true;
  if (result == ReceiveResult::Failed || !spool.Rewind()) return false;
  const std::int64_t size = spool.RemainingSize();
  if (!writer.AddFileFromStream(spool, name, context.job.zipLevel)) return false;
  NoteFileWritten(context, size);
  return true;
}

void ListRemoteFolderForArchive(JobContext& context, CFtpJobConnection& connection, const RemoteFolderQuery& query,
                                const std::string& parentFolder, TransferList& list) {
  const std::string prefix = parentFolder + "/";
  for (std::string& path : CollectRemotePaths(context, connection, query)) {
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
      AddLogged(context, *connection, item.path, LastPathComponent(item.path), writer);
    } else if (item.kind == ItemKind::FtpFolder) {
      const auto slash = item.path.rfind('/');
      // A folder path without "/" has no parent to take off: its files keep their whole path.
      const std::string parent = slash == std::string::npos ? std::string() : item.path.substr(0, slash);
      TransferList list;
      ListRemoteFolderForArchive(context, *connection, RemoteFolderQuery::Of(item, site.serverIsUnix), parent, list);
      for (const TransferEntry& entry : list) {
        if (context.StopRequested()) break;
        AddLogged(context, *connection, entry.source, entry.target, writer);
      }
    }
  }
  CloseJobConnection(connection);
  return true;
}

}  // namespace tarnwick
