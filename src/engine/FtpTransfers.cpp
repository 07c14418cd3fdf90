#include "engine/FtpTransfers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "app/StringTable.h"
#include "app/Wildcard.h"
#include "engine/EngineTexts.h"
#include "engine/LocalCopy.h"

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = CFtpSession::kChunkSize;

void LogBackupFile(JobContext& context, const std::string& path) {
  context.log.LogActionText(LOG_BACKUPFILE, FormatText(kBackupFileText, path.c_str()));
}

void LogBackupFailed(JobContext& context, const std::string& path) {
  context.log.LogActionText(LOG_ERROR, FormatText(kBackupFailedText, path.c_str()));
}

void ShowBackingUp(JobContext& context, const std::string& path, long long kilobytes) {
  context.observer.OnStatusText(FormatText(kBackingUpText, path.c_str(), static_cast<int>(kilobytes)));
}

// A local file descriptor closed on every way out.
class LocalFile {
 public:
  explicit LocalFile(int fd = -1) : fd_(fd) {}
  ~LocalFile() { Close(); }
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;
  int get() const { return fd_; }
  // Closes now; false when the close reported an error (a delayed write error shows there).
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Fills `buffer` from `fd` up to `size` bytes, short only at the end of the file; -1 on an error.
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

// The local file a download is written to, beside its target; removed unless renamed into place.
class LocalPartFile {
 public:
  explicit LocalPartFile(const std::string& target) {
    for (int attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
      path_ = TemporaryNameBeside(target);
      const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
      if (fd < 0) {
        if (errno != EEXIST) break;
        continue;
      }
      file_ = ::fdopen(fd, "wb");
      if (file_ == nullptr) {
        ::close(fd);
        ::unlink(path_.c_str());
        break;
      }
    }
    if (file_ == nullptr) path_.clear();
  }
  ~LocalPartFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  LocalPartFile(const LocalPartFile&) = delete;
  LocalPartFile& operator=(const LocalPartFile&) = delete;

  bool ok() const { return file_ != nullptr; }
  bool Write(const char* data, std::size_t size) { return std::fwrite(data, 1, size, file_) == size; }
  // A write error that only shows when the data is flushed or closed fails the file too.
  bool Commit(const std::string& target) {
    const bool written = std::fclose(std::exchange(file_, nullptr)) == 0;
    if (!written || ::rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

// The remote file an upload or copy is written to, beside its target on `connection`. Until it is
// committed, the temporary file is abandoned and deleted when this goes away.
class RemotePartFile {
 public:
  RemotePartFile(CFtpJobConnection& connection, const std::string& target)
      : session_(connection.Session()), path_(TemporaryNameBeside(target)) {
    session_.OpenFile(path_, FtpFileMode::Write, file_);
  }
  ~RemotePartFile() {
    if (!file_ && !created_) return;
    file_.reset();  // abandons a transfer still running
    session_.DeleteFile(path_);
  }
  RemotePartFile(const RemotePartFile&) = delete;
  RemotePartFile& operator=(const RemotePartFile&) = delete;

  bool ok() const { return file_ != nullptr; }
  bool Write(const char* data, std::size_t size) { return file_->Write(data, size).ok(); }

  // Ends the transfer; true when the server confirmed it complete.
  bool Finish() {
    created_ = true;
    return std::exchange(file_, nullptr)->Close().ok();
  }

  // Renames the finished file over `target`. A server that will not rename over an existing file
  // gets the old one deleted first, but only now that the new one is whole.
  bool Commit(const std::string& target) {
    if (!session_.Rename(path_, target).ok()) {
      if (!session_.DeleteFile(target).ok()) return false;
      // The older copy is gone now: should the rename still fail, the complete new copy stays
      // under its temporary name rather than being thrown away too.
      created_ = false;
      return session_.Rename(path_, target).ok();
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

using ListingCache = std::map<std::string, std::vector<FtpFileInfo>>;

// The entries of one remote folder, listed once per collection however many masks ask for it.
// Every mask is matched here, as the FTP layer itself matches a masked listing.
const std::vector<FtpFileInfo>& FolderEntries(CFtpJobConnection& connection, const std::string& folder,
                                              ListingCache& cache) {
  auto found = cache.find(folder);
  if (found != cache.end()) return found->second;
  std::vector<FtpFileInfo> entries;
  if (!connection.Session().List(folder, entries).ok()) entries.clear();
  return cache.emplace(folder, std::move(entries)).first->second;
}

// A server may show a link back to a folder above as a sub-folder; the walk never goes deeper than
// this rather than recursing without end.
constexpr int kMaxRemoteDepth = 64;

void ListRemoteFolderCached(const std::string& folder, std::vector<std::string>& list, CFtpJobConnection& connection,
                            const std::string& mask, bool recursive, const std::string& subFolderMask,
                            bool serverIsUnix, ListingCache& cache, int depth = 0) {
  if (depth > kMaxRemoteDepth) return;
  std::vector<std::string> subFolders;
  // Copied: a deeper listing may grow the cache while this folder is walked.
  const std::vector<FtpFileInfo> entries = FolderEntries(connection, folder, cache);
  for (const FtpFileInfo& entry : entries) {
    // Only a line the FTP layer could not read needs the UNIX rule; parsed names keep their blanks.
    const std::string name =
        entry.unparsed && serverIsUnix ? std::string(UnixNameOfUnparsedLine(entry.name)) : entry.name;
    if (name.empty() || name == "." || name == "..") continue;
    if (!MatchesWildcard(mask, name)) continue;
    if (entry.isDirectory) {
      subFolders.push_back(name);
    } else {
      list.push_back(JoinRemotePath(folder, name));
    }
  }
  for (const std::string& name : subFolders) {
    const std::string sub = JoinRemotePath(folder, name);
    if (recursive) {
      ListRemoteFolderCached(sub, list, connection, mask, true, subFolderMask, serverIsUnix, cache, depth + 1);
    } else if (!subFolderMask.empty()) {
      ListRemoteFolderCached(sub, list, connection, subFolderMask, false, subFolderMask, serverIsUnix, cache,
                             depth + 1);
    }
  }
}

// A remote file received into `out` with the copy job's "Backing up %s | %d KB" status per chunk.
template <typename PartFile>
ReceiveResult ReceiveBackingUp(JobContext& context, CFtpFile& file, const std::string& source, PartFile& out) {
  long long kilobytes = 0;
  return ReceiveRemoteFile(
      context, file, [&out](const char* data, std::size_t size) { return out.Write(data, size); },
      [&](long long chunk) {
        kilobytes += chunk / 1024;  // truncated per chunk
        ShowBackingUp(context, source, kilobytes);
      });
}

}  // namespace

void FtpJobConnectionCloser::operator()(CFtpJobConnection* connection) const noexcept {
  connection->Session().Close();
  delete connection;
}

std::string JoinRemotePath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string ResolveRemotePath(const std::string& currentFolder, const std::string& path) {
  // An empty destination is the login folder itself, without a trailing "/" to double later.
  if (path.empty()) return currentFolder;
  if (currentFolder.empty() || currentFolder.back() == '/') return currentFolder + path;
  return currentFolder + "/" + path;
}

FtpJobConnection ConnectForJob(JobContext& context, FtpSite& site, bool isDestination) {
  CActivityLog& log = context.log;
  log.LogActionText(LOG_CONNECTING, FormatText(kConnectingText, site.host.c_str(), site.port.c_str()));
  FtpJobConnection connection(new CFtpJobConnection());
  // Stop then ends a transfer at once, also one waiting on a server that stopped moving data.
  connection->Session().SetTransferInterruptFlag(&context.stopRequested);
  FtpConnectParams params;
  params.host = site.host;
  params.port = PortFromText(site.port);
  params.user = site.user;
  params.password = site.password;
  params.passive = PassiveFromText(site.passive);
  // Reaching the server and logging in happen in one step here; a server that cannot be reached
  // is reported as such rather than as a refused login, so the user looks for the right fault.
  const Status result = connection->Session().Connect(params);  // a port of -1 cannot connect
  if (!result.ok() && result.code() != StatusCode::Refused) {
    log.LogAction(LOG_CONNECTFAILED, IDS_FAILED_TO_CONNECT);
    return nullptr;
  }
  log.LogAction(LOG_CONNECTED, IDS_SOCKET_CONNECTED);
  log.LogActionText(LOG_LOGGINGIN, FormatText(kLoggingInText, site.user.c_str()));
  if (!result.ok()) {
    log.LogAction(LOG_LOGINFAILED, IDS_LOGIN_FAILED);
    return nullptr;
  }
  log.LogAction(LOG_LOGINOK, IDS_USER_LOGIN_OK);

  if (isDestination && (site.remotePath.empty() || site.remotePath.front() != '/')) {
    std::string current;
    if (connection->Session().GetCurrentDirectory(current).ok()) site.remotePath = ResolveRemotePath(current, site.remotePath);
  }
  return connection;
}

void CloseJobConnection(FtpJobConnection& connection) { connection.reset(); }

bool CreateRemoteFolderChain(JobContext& context, CFtpJobConnection& connection, const std::string& path) {
  if (path.size() <= 2) return false;
  const std::string chain = path.back() == '/' ? path : path + "/";
  for (std::size_t slash = chain.find('/', 2); slash != std::string::npos; slash = chain.find('/', slash + 1)) {
    CreateRemoteFolder(context, connection, chain.substr(0, slash));
  }
  return true;
}

void CreateRemoteFolder(JobContext&, CFtpJobConnection& connection, const std::string& path) {
  if (path.empty() || connection.FolderKnown(path)) return;
  // Making a folder that exists simply fails, so asking the server to make it ends the same as
  // listing it first, without a data connection per folder.
  connection.Session().CreateDirectory(path);
  connection.RememberFolder(path);
}

bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection) {
  return UploadFile(context, source, target, connection, [&](long long, long long done, long long size) {
    ShowBackingUp(context, source, done / 1024);
    context.observer.OnProgress(size > 0 ? std::min<long long>(done * 100 / size, 100) : 100, 100);
  });
}

bool UploadFile(JobContext& context, const std::string& source, const std::string& target,
                CFtpJobConnection& connection, const UploadReport& report) {
  LocalFile in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.get() < 0) return false;
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
    if (!out.Write(buffer.data(), static_cast<std::size_t>(n))) return context.StopRequested();
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
    std::size_t n = 0;
    if (!file.Read(buffer.data(), buffer.size(), n).ok()) return failed();
    if (n == 0) return file.Close().ok() ? ReceiveResult::Complete : failed();
    if (!sink(buffer.data(), static_cast<std::size_t>(n))) return failed();
    onChunk(n);
  }
}

bool CanCreateRemoteFile(CFtpJobConnection& connection, const std::string& target) {
  const std::string probe = TemporaryNameBeside(target);
  std::unique_ptr<CFtpFile> file;
  if (!connection.Session().OpenFile(probe, FtpFileMode::Write, file).ok()) return false;
  file->Close();
  file.reset();
  connection.Session().DeleteFile(probe);
  return true;
}

bool DownloadFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                  CFtpJobConnection& connection) {
  CreateLocalFolderChain(targetFolder);
  const std::string target = JoinLocalPath(targetFolder, LastPathComponent(source));
  LocalPartFile out(target);
  if (!out.ok()) return false;
  std::unique_ptr<CFtpFile> in;
  // No empty file is left on failure: the older local copy stays.
  if (!connection.Session().OpenFile(source, FtpFileMode::Read, in).ok()) return false;
  const ReceiveResult result = ReceiveBackingUp(context, *in, source, out);
  in.reset();
  if (result == ReceiveResult::Stopped) return true;
  return result == ReceiveResult::Complete && out.Commit(target);
}

bool CopyRemoteFile(JobContext& context, const std::string& source, const std::string& targetFolder,
                    CFtpJobConnection& from, CFtpJobConnection& to) {
  std::unique_ptr<CFtpFile> in;
  if (!from.Session().OpenFile(source, FtpFileMode::Read, in).ok()) return false;
  const std::string target = JoinRemotePath(targetFolder, LastPathComponent(source));
  RemotePartFile out(to, target);
  if (!out.ok()) return false;
  const ReceiveResult result = ReceiveBackingUp(context, *in, source, out);
  in.reset();
  if (result == ReceiveResult::Stopped) return true;
  if (result != ReceiveResult::Complete) return false;
  if (!out.Finish()) return context.StopRequested();
  return out.Commit(target);
}

bool CopyRemoteSource(JobContext& context, const FtpSource& source, CFtpJobConnection* destination,
                      const std::string& destinationBase) {
  FtpSite site = source.site;
  FtpJobConnection connection = ConnectForJob(context, site, false);
  if (!connection) return false;
  const bool destIsLocal = destination == nullptr;

  for (const SourceItem& item : source.items) {
    if (context.StopRequested()) break;
    if (item.kind == ItemKind::FtpFile) {
      LogBackupFile(context, item.path);
      const bool ok = destIsLocal ? DownloadFile(context, item.path, destinationBase, *connection)
                                  : CopyRemoteFile(context, item.path, destinationBase, *connection, *destination);
      if (!ok) LogBackupFailed(context, item.path);
    } else if (item.kind == ItemKind::FtpFolder) {
      const FilterLists filter = SplitFilter(item.filter);
      const std::string destSub = JoinLocalPath(destinationBase, LastPathComponent(item.path));
      if (destIsLocal) {
        ::mkdir(destSub.c_str(), 0777);
      } else {
        CreateRemoteFolderChain(context, *destination, destSub);
      }
      TransferList list;
      CollectRemoteFolder(item.path, filter.include, filter.exclude, item.recursive, list, destIsLocal, destSub,
                          *connection, site.serverIsUnix);
      for (const TransferEntry& entry : list) {
        if (context.StopRequested()) return false;
        LogBackupFile(context, entry.source);
        bool ok;
        if (destIsLocal) {
          ok = DownloadFile(context, entry.source, entry.target, *connection);
        } else {
          CreateRemoteFolderChain(context, *destination, entry.target);
          ok = CopyRemoteFile(context, entry.source, entry.target, *connection, *destination);
        }
        if (!ok) LogBackupFailed(context, entry.source);
      }
    }
  }
  return true;
}

std::vector<std::string> CollectRemotePaths(CFtpJobConnection& connection, const std::string& folder,
                                            const std::string& includeList, const std::string& excludeList,
                                            bool recursive, bool serverIsUnix) {
  ListingCache cache;
  std::vector<std::string> excluded;
  for (const std::string& mask : SplitMaskList(excludeList)) {
    // Without recursion exclusions apply to the item's own folder only.
    ListRemoteFolderCached(folder, excluded, connection, mask, recursive, recursive ? mask : std::string(),
                           serverIsUnix, cache);
  }
  std::vector<std::string> included;
  for (const std::string& mask : SplitMaskList(includeList)) {
    // Without recursion the sub-folders the mask finds are taken whole.
    ListRemoteFolderCached(folder, included, connection, mask, recursive, recursive ? mask : std::string("*.*"),
                           serverIsUnix, cache);
  }
  const std::set<std::string> skip(excluded.begin(), excluded.end());
  std::vector<std::string> paths;
  for (std::string& path : included) {
    if (skip.count(path) == 0) paths.push_back(std::move(path));
  }
  return paths;
}

void CollectRemoteFolder(const std::string& folder, const std::string& includeList, const std::string& excludeList,
                         bool recursive, TransferList& list, bool destIsLocal, const std::string& destFolder,
                         CFtpJobConnection& connection, bool serverIsUnix) {
  // Local and remote folders are both separated by "/" here, so the destination kind changes nothing.
  (void)destIsLocal;
  for (std::string& path : CollectRemotePaths(connection, folder, includeList, excludeList, recursive, serverIsUnix)) {
    // The file's folder relative to `folder`, from its leading "/" (kept) to before its name.
    const std::size_t nameStart = path.rfind('/') + 1;
    std::string relative = folder.empty() || folder.back() != '/' ? std::string() : std::string("/");
    relative += path.substr(folder.size(), nameStart - folder.size());
    if (!relative.empty() && relative.back() == '/') relative.pop_back();
    list.push_back({std::move(path), destFolder + relative});
  }
}

void ListRemoteFolder(const std::string& folder, std::vector<std::string>& list, CFtpJobConnection& connection,
                      const std::string& mask, bool recursive, const std::string& subFolderMask, bool serverIsUnix) {
  ListingCache cache;
  ListRemoteFolderCached(folder, list, connection, mask, recursive, subFolderMask, serverIsUnix, cache);
}

}  // namespace tarnwick
