#include "engine/FtpJobConnection.h"

#include <algorithm>

#include "app/StringTable.h"
#include "engine/JobReport.h"
#include "ftp/KeyPassphrase.h"

namespace tarnwick {

void FtpJobConnectionCloser::operator()(CFtpJobConnection* connection) const noexcept {
  connection->Session().Close();
  delete connection;
}

std::string ResolveRemotePath(const std::string& currentFolder, const std::string& path) {
  // An empty destination is the login folder itself, without a trailing "/" to double later.
  if (path.empty()) return currentFolder;
  if (currentFolder.empty() || currentFolder.back() == '/') return currentFolder + path;
  return currentFolder + "/" + path;
}

FtpConnectParams ConnectParamsOf(const FtpSite& site) {
  FtpConnectParams params;
  params.host = site.host;
  params.port = PortFromText(site.port);
  params.user = site.user;
  params.password = site.password;
  params.passive = PassiveFromText(site.passive);
  params.tls = site.tls;
  params.sftp = site.sftp;
  params.keyFile = site.keyFile;
  params.keyPassphrase = site.sftp ? RememberedKeyPassphrase(site.keyFile) : std::string();
  return params;
}

FtpJobConnection ConnectForJob(JobContext& context, FtpSite& site, bool isDestination) {
  CActivityLog& log = context.log;
  log.LogActionText(LOG_CONNECTING, FormatString(IDS_CONNECTING_ROW, site.host.c_str(), site.port.c_str()));
  FtpJobConnection connection(new CFtpJobConnection());
  // Stop then ends a transfer at once, also one waiting on a server that stopped moving data.
  connection->Session().SetTransferInterruptFlag(&context.stopRequested);
  const FtpConnectParams params = ConnectParamsOf(site);
  // Reaching the server and logging in happen in one step here; a server that cannot be reached
  // is reported as such rather than as a refused login, so the user looks for the right fault.
  const Status result = connection->Session().Connect(params);  // a port of -1 cannot connect
  // Stopped while connecting: the job's own stop row says what happened.
  if (result.code() == StatusCode::Stopped) return nullptr;
  if (!result.ok() && result.code() != StatusCode::Refused) {
    // A connection that could not be secured (TLS, or an SSH host key) says why: the user must act
    // on it, not retry.
    if (connection->Session().TlsProblem().kind != FtpTlsFailure::None) {
      LogFailure(context, LOG_CONNECTFAILED, result.message());
    } else if (result.code() == StatusCode::IoError) {
      // A file the connection needs (the trusted certificates, known_hosts, the key) is unusable.
      LogFailure(context, LOG_CONNECTFAILED, result.ToString());
    } else {
      LogFailure(context, LOG_CONNECTFAILED, LoadString(IDS_FAILED_TO_CONNECT));
      LogFailureReason(
          log, FormatString(IDS_REASON_HOST_PORT, site.host.c_str(), site.port.c_str(), result.message().c_str()));
    }
    return nullptr;
  }
  log.LogAction(LOG_CONNECTED, IDS_SOCKET_CONNECTED);
  log.LogActionText(LOG_LOGGINGIN, FormatString(IDS_LOGGING_IN_ROW, site.user.c_str()));
  if (!result.ok()) {
    LogFailure(context, LOG_LOGINFAILED, LoadString(IDS_LOGIN_FAILED));
    LogFailureReason(log, result.message());
    if (params.sftp && params.keyPassphrase.empty() && KeyNeedsPassphrase(params.keyFile)) {
      LogFailure(context, LOG_LOGINFAILED, FormatString(IDS_KEY_PASSPHRASE_MISSING_ROW, params.keyFile.c_str()));
    }
    return nullptr;
  }
  log.LogAction(LOG_LOGINOK, IDS_USER_LOGIN_OK);

  if (isDestination && (site.remotePath.empty() || site.remotePath.front() != '/')) {
    std::string current;
    if (connection->Session().GetCurrentDirectory(current).ok())
      site.remotePath = ResolveRemotePath(current, site.remotePath);
  }
  return connection;
}

std::vector<const FtpSite*> ServerAccounts(const Profile& profile) {
  std::vector<const FtpSite*> sites;
  if (!profile.destIsLocal) sites.push_back(&profile.ftpDest);
  for (const FtpSource& source : profile.remoteSources) sites.push_back(&source.site);
  return sites;
}

std::vector<std::string> KeysAwaitingPassphrase(const Profile& profile) {
  std::vector<std::string> keys;
  for (const FtpSite* site : ServerAccounts(profile)) {
    const std::string& key = site->keyFile;
    if (!site->sftp || key.empty() || std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
    if (RememberedKeyPassphrase(key).empty() && KeyNeedsPassphrase(key)) keys.push_back(key);
  }
  return keys;
}

bool UnlockProfileKeys(const Profile& profile, UserPrompts& prompts) {
  std::string passphrase;
  for (const std::string& key : KeysAwaitingPassphrase(profile)) {
    if (!UnlockKey(key, prompts, passphrase)) return false;
  }
  return true;
}

void CloseJobConnection(FtpJobConnection& connection) { connection.reset(); }

bool CreateRemoteFolderChain(CFtpJobConnection& connection, const std::string& path) {
  if (path.size() <= 2) return false;
  const std::string chain = path.back() == '/' ? path : path + "/";
  for (std::size_t slash = chain.find('/', 2); slash != std::string::npos; slash = chain.find('/', slash + 1)) {
    CreateRemoteFolder(connection, chain.substr(0, slash));
  }
  return true;
}

void CreateRemoteFolder(CFtpJobConnection& connection, const std::string& path) {
  if (path.empty() || connection.FolderKnown(path)) return;
  // Making a folder that exists simply fails, so asking the server to make it ends the same as
  // listing it first, without a data connection per folder.
  (void)connection.Session().CreateDirectory(path);
  connection.RememberFolder(path);
}

}  // namespace tarnwick
