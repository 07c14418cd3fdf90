// The FTP sessions of a job: opened with the job's log rows, interrupted by its stop flag, and
// remembering the remote folders it has made so a folder chain is made once per job.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/UserPrompts.h"
#include "engine/JobContext.h"
#include "ftp/FtpSession.h"

namespace tarnwick {

// One logged-in FTP session of a job (the session and connection pair).
class CFtpJobConnection {
 public:
  explicit CFtpJobConnection(FtpTimeouts timeouts = {}) : session_(timeouts) {}

  CFtpSession& Session() { return session_; }

  // Remote folders this job has already made or seen, so a folder chain is listed once per job and
  // not once per file.
  bool FolderKnown(const std::string& path) const { return knownFolders_.count(path) != 0; }
  void RememberFolder(const std::string& path) { knownFolders_.insert(path); }

  // Whether the server refused to rename a finished upload: later files on this session are
  // stored under their final names directly.
  bool RenameRefused() const { return renameRefused_; }
  void SetRenameRefused() { renameRefused_ = true; }

 private:
  CFtpSession session_;
  std::set<std::string> knownFolders_;
  bool renameRefused_ = false;
};

struct FtpJobConnectionCloser {
  void operator()(CFtpJobConnection* connection) const noexcept;
};
using FtpJobConnection = std::unique_ptr<CFtpJobConnection, FtpJobConnectionCloser>;

// How a session on `site` is opened: its account, and the passphrase given in this process for its
// key.
FtpConnectParams ConnectParamsOf(const FtpSite& site);

// Opens and logs in a session on `site` with the job's log rows (CONNECTING, CONNECTED or
// CONNECTFAILED, LOGGINGIN, LOGINOK or LOGINFAILED); passive mode when `site.passive` is "1". For
// the destination (`isDestination`) a `remotePath` without a leading "/" is made absolute against
// the server's current folder and written back into `site`. Null on failure; the rows say why.
// The job's stop flag interrupts the session's transfers, so `context` must outlive it.
FtpJobConnection ConnectForJob(JobContext& context, FtpSite& site, bool isDestination);

// The profile's server accounts: its FTP destination first, then its remote sources.
std::vector<const FtpSite*> ServerAccounts(const Profile& profile);

// The private key files of the profile's SFTP accounts (destination and remote sources) that are
// protected by a passphrase this process has not been given, each once: what a front end asks the
// user for before it starts a run. A job without the passphrase still tries an SSH agent.
std::vector<std::string> KeysAwaitingPassphrase(const Profile& profile);

// Asks through `prompts` for each of KeysAwaitingPassphrase(profile); false as soon as the user
// gives none for one (the run should then not start).
bool UnlockProfileKeys(const Profile& profile, UserPrompts& prompts);

// Closes the session; `connection` is null afterwards.
void CloseJobConnection(FtpJobConnection& connection);

// `path` taken relative to the server folder `currentFolder` (the relative-destination rule): the
// folder, a "/" unless it is empty or ends with one, then `path`. An empty `path` gives the folder.
std::string ResolveRemotePath(const std::string& currentFolder, const std::string& path);

// Creates every missing remote folder along `path` (a path of two characters or fewer does
// nothing and gives false). Creation results are not checked.
bool CreateRemoteFolderChain(CFtpJobConnection& connection, const std::string& path);

// Creates the one remote folder `path` unless this job made or saw it already. The result is not
// checked: making a folder that exists simply fails.
void CreateRemoteFolder(CFtpJobConnection& connection, const std::string& path);

}  // namespace tarnwick
