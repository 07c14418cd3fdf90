// One FTP session: a control connection logged in to a server, the current folder, listings,
// folder and file operations and one open remote file at a time. Built on libcurl; nothing here
// throws.
//
// Every operation answers with a Status: ok() is the operation's success as the FTP client
// services describe it, and a failure says why, for a window to show:
//   Refused          the server said no: a login it did not accept, or a permanent (5xx, or an
//                    SFTP failure status) answer to a command or transfer; the message is the
//                    server's reply, the path the remote path (the host for a login)
//   NetworkError     the server could not be reached, stopped answering or broke the connection
//                    (libcurl's words and the server's last reply), or the session is not connected
//   InvalidArgument  a host, path, user name or password that cannot be sent (a path with a name
//                    longer than kMaxNameBytes among them), or a remote file used after its
//                    transfer ended
//   Busy             a remote file is open on the session
//   Stopped          the cancel or transfer interrupt flag ended it, or the caller closed a file
//                    before its transfer was complete
//
// Paths starting with "/" are absolute from the server's root; others are taken relative to the
// session's current folder. A session is used by one thread at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/Status.h"
#include "ftp/FtpHash.h"
#include "ftp/FtpListParser.h"

namespace tarnwick {

// What opens a session: one account as the user typed it.
struct FtpConnectParams {
  std::string host;
  int port = 21;     // 0 stands for the standard FTP port
  std::string user;  // empty: anonymous login (the password is then not used)
  std::string password;
  bool passive = false;  // passive-mode data connections; active (PORT/EPRT) otherwise, unless tls
  // Explicit TLS (AUTH TLS) on the control connection and every data connection. The server's
  // certificate must verify against the trust anchors and name the host, or be the one the user
  // trusted for this host and port in the trust file. Never falls back to clear text.
  bool tls = false;
  // PEM trust anchors used instead of the system's store; empty: $TARNWICK_CA_FILE when set, else
  // the system's store.
  std::string caFile{};
  // The file of certificates the user trusted (CertificateTrust.h); empty: the one beside the program.
  std::string trustFile{};
  // SFTP (the SSH file transfer protocol) instead of FTP; passive, tls, caFile and trustFile then
  // mean nothing, and port 0 stands for the standard SSH port. The server's host key must be the
  // one the known-hosts file holds for the host and port.
  bool sftp = false;
  std::string keyFile{};         // SFTP: a private key file to log in with; empty: the password
  std::string keyPassphrase{};   // the key file's passphrase, when it has one
  std::string knownHostsFile{};  // empty: ~/.ssh/known_hosts
};

// Why a secured login (FTP over TLS, or SFTP) failed before the password was sent.
enum class FtpTlsFailure {
  None,
  NotOffered,      // the server refused AUTH TLS
  Untrusted,       // its certificate did not verify and is not the one trusted for the host
  HostKeyUnknown,  // SFTP: the known-hosts file holds no key for the host and port
  HostKeyChanged,  // SFTP: it holds another key for them
};

struct FtpTlsProblem {
  FtpTlsFailure kind = FtpTlsFailure::None;
  std::string reason;  // Untrusted: why, in words (expired, unknown issuer, name mismatch, ...)
  // Untrusted: the certificate's SHA-256 fingerprint, "AB:CD:..."; host keys: "SHA256:..." as
  // OpenSSH shows it.
  std::string sha256;
  std::string knownHostsLine{};  // host keys: the line that would make the key known
};

// Network time-outs. Nothing is retried.
struct FtpTimeouts {
  std::chrono::milliseconds connect{30000};  // reaching the server and logging in
  // A transfer that moves no data, or a reply not complete (whatever lines it sends), for this long.
  std::chrono::milliseconds stall{60000};
};

// The port field of an account: its leading decimal digits, 0 when there are none, -1 when the
// number does not fit a port (such an account never connects).
int PortFromText(std::string_view text);

// The passive field of an account: only exactly "1" means passive.
bool PassiveFromText(std::string_view text);

enum class FtpFileMode { Read, Write };

class CFtpFile;

class CFtpSession {
 public:
  // Size of every transfer chunk.
  static constexpr std::size_t kChunkSize = 65536;

  explicit CFtpSession(FtpTimeouts timeouts = {});
  ~CFtpSession();
  CFtpSession(const CFtpSession&) = delete;
  CFtpSession& operator=(const CFtpSession&) = delete;

  // Connects and logs in. A session exists only after an accepted login; the current folder is
  // then the server's starting folder. Connecting again first closes the old session. Refused
  // means the server answered but did not take the user name and password (or they could not be
  // sent); every other failure means the host could not be reached as an FTP server.
  Status Connect(const FtpConnectParams& params);
  bool IsConnected() const;
  // What kept the last operation (Connect above all) from securing its connection; kind None
  // when it was secured, plain or failed for another reason.
  const FtpTlsProblem& TlsProblem() const;
  // Logs out and drops the control connection; a remote file still open on it dies with it.
  void Close();

  // The current folder as the server names it (no traffic: the session keeps it).
  Status GetCurrentDirectory(std::string& folder);
  // Changes the current folder; on a refusal the folder stays as it was.
  Status SetCurrentDirectory(const std::string& path);

  // Lists `pattern`: a path whose last component holds "*" or "?" lists the folder before it,
  // filtered by that mask (matched here, without regard to case, as app/Wildcard.h does); a
  // folder lists its contents; a file lists itself; an empty pattern lists the current folder.
  // "." and ".." are never reported. Fails when the folder to be listed cannot be (it is missing
  // or refused); ok with no entries when nothing in it matched or the named file is not there.
  // A listing longer than the listing limit is cut there: what came before is reported and
  // LastListingWasCut() tells. Over SFTP every name is the server's name field, byte for byte (line
  // breaks and leading blanks included), whatever its listing line shows.
  Status List(const std::string& pattern, std::vector<FtpFileInfo>& entries);
  // Whether the last List was cut at the listing limit (a server listing without end).
  bool LastListingWasCut() const;
  // The most bytes one listing may take (64 MiB unless set).
  void SetListingLimit(std::size_t bytes);

  // The size of the remote file `path` in bytes, as the server's SIZE answer gives it (asked in
  // binary mode, so it counts the bytes a download receives). Refused when the server has no such
  // file or does not know SIZE.
  Status FileSize(const std::string& path, std::uint64_t& size);

  // Whether the server offers HASH with an algorithm known here (its FEAT says so); never over SFTP.
  bool OffersHash() const;
  // The digest of the whole remote file `path` as the server's HASH answer gives it, with the
  // algorithm it used: CRC32 when offered, else SHA-256, SHA-1, MD5 (selected with OPTS HASH when
  // it is not the one the server starts with). Refused when the server does not offer HASH (the
  // message says so), refuses the command, or answers something that is not a hash of the whole
  // file with that algorithm.
  Status FileHash(const std::string& path, HashReply& hash);

  Status CreateDirectory(const std::string& path);
  Status DeleteFile(const std::string& path);
  Status Rename(const std::string& from, const std::string& to);

  // Opens a remote file for a binary transfer into `file` (null on failure). The session must
  // outlive the file, and no other operation may run on the session while the file is open.
  Status OpenFile(const std::string& path, FtpFileMode mode, std::unique_ptr<CFtpFile>& file);

  // Whether the session speaks SFTP (as the last Connect asked).
  bool IsSftp() const;

  // The absolute form of `path` after the current folder, with "." and ".." folded.
  std::string AbsolutePath(const std::string& path) const;

  // Whether listings use MLSD (the server offers it and has not answered it as an unknown or
  // unimplemented command) rather than LIST. A listing MLSD is refused for is tried with LIST.
  bool UsesMlsd() const;

  // Once *flag turns true, the operation in progress and every later one fail within a fraction of
  // a second, so a thread waiting on a dead server can be ended early. Null (the default): never.
  void SetCancelFlag(const std::atomic<bool>* flag);

  // While *flag is true, connecting, listings and the reads, writes and close of an open remote
  // file give up within a fraction of a second (they then fail), even while the server does not
  // answer or has stopped moving data.
  // Folder commands and opening files carry on as usual, so whoever stopped a transfer can still
  // tidy up on the server. Null (the default): never.
  void SetTransferInterruptFlag(const std::atomic<bool>* flag);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend class CFtpFile;
};

// A remote file open on a session for reading or for writing.
class CFtpFile {
 public:
  // Destroying an open file abandons its transfer: a partial upload is left as the server kept it.
  // Closing or reconnecting the session ends the file too; its calls then fail.
  ~CFtpFile();
  CFtpFile(const CFtpFile&) = delete;
  CFtpFile& operator=(const CFtpFile&) = delete;

  // Fills `buffer` with up to `size` bytes (fewer only at the end) and sets `got` to the count:
  // 0 once the whole file has arrived and the server confirmed the transfer.
  Status Read(void* buffer, std::size_t size, std::size_t& got);
  // Hands `size` bytes to the server.
  Status Write(const void* data, std::size_t size);
  // Ends the transfer. Ok only when the server confirmed a complete transfer.
  Status Close();

 private:
  friend class CFtpSession;
  CFtpFile(CFtpSession::Impl& session, FtpFileMode mode, unsigned serial);
  // Still the session's open file: not closed, and the session was not closed or reconnected.
  bool Live() const;
  // Why the transfer failed: the session's failure, or that it ended early.
  Status Failure() const;
  CFtpSession::Impl& session_;
  FtpFileMode mode_;
  unsigned serial_;
  bool open_ = true;
};

}  // namespace tarnwick
