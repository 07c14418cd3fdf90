// One FTP session: a control connection logged in to a server, the current folder, listings,
// folder and file operations and one open remote file at a time. Built on libcurl; operations
// return success as a boolean and never throw.
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

#include "ftp/FtpListParser.h"

namespace tarnwick {

// What opens a session: one account as the user typed it.
struct FtpConnectParams {
  std::string host;
  int port = 21;  // 0 stands for the standard FTP port
  std::string user;  // empty: anonymous login (the password is then not used)
  std::string password;
  bool passive = false;  // passive-mode data connections; active (PORT/EPRT) otherwise
};

// Network time-outs. Nothing is retried.
struct FtpTimeouts {
  std::chrono::milliseconds connect{30000};  // reaching the server and logging in
  std::chrono::milliseconds stall{60000};    // a transfer or a reply that makes no progress
};

enum class FtpConnectResult {
  Connected,
  ConnectFailed,  // the host could not be reached or did not answer as an FTP server
  LoginRefused,   // the server answered but did not accept user name and password
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
  // then the server's starting folder. Connecting again first closes the old session.
  FtpConnectResult Connect(const FtpConnectParams& params);
  bool IsConnected() const;
  // Logs out and drops the control connection; a remote file still open on it dies with it.
  void Close();

  // The current folder as the server names it.
  bool GetCurrentDirectory(std::string& folder);
  // Changes the current folder; false when the server refuses it (the folder stays as it was).
  bool SetCurrentDirectory(const std::string& path);

  // Lists `pattern`: a path whose last component holds "*" or "?" lists the folder before it,
  // filtered by that mask (matched here, without regard to case, as app/Wildcard.h does); a
  // folder lists its contents; a file lists itself; an empty pattern lists the current folder.
  // "." and ".." are never reported. False when the folder to be listed cannot be (it is missing
  // or refused); true with no entries when nothing in it matched or the named file is not there.
  bool List(const std::string& pattern, std::vector<FtpFileInfo>& entries);

  bool CreateDirectory(const std::string& path);
  bool DeleteFile(const std::string& path);
  bool Rename(const std::string& from, const std::string& to);

  // Opens a remote file for a binary transfer; null when the server refuses it. The session must
  // outlive the file, and no other operation may run on the session while the file is open.
  std::unique_ptr<CFtpFile> OpenFile(const std::string& path, FtpFileMode mode);

  // The absolute form of `path` after the current folder, with "." and ".." folded.
  std::string AbsolutePath(const std::string& path) const;

  // Whether listings use MLSD (the server offers it and has not answered it as an unknown or
  // unimplemented command) rather than LIST. A listing MLSD is refused for is tried with LIST.
  bool UsesMlsd() const;

  // Once *flag turns true, the operation in progress and every later one fail within a fraction of
  // a second, so a thread waiting on a dead server can be ended early. Null (the default): never.
  void SetCancelFlag(const std::atomic<bool>* flag);

  // While *flag is true, the reads, writes and close of an open remote file give up within a
  // fraction of a second (the file's calls then fail), even while the server has stopped moving
  // data. Folder commands, listings and opening files carry on as usual, so whoever stopped a
  // transfer can still tidy up on the server. Null (the default): never.
  void SetTransferInterruptFlag(const std::atomic<bool>* flag);

  // The last failure in words (libcurl's message or the server's reply), for diagnostics only.
  std::string LastError() const;

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

  // Fills `buffer` with up to `size` bytes (fewer only at the end). Returns the count, 0 once
  // the whole file has arrived and the server confirmed the transfer, -1 on any failure.
  std::ptrdiff_t Read(void* buffer, std::size_t size);
  // Hands `size` bytes to the server. False on any failure.
  bool Write(const void* data, std::size_t size);
  // Ends the transfer. True only when the server confirmed a complete transfer.
  bool Close();

 private:
  friend class CFtpSession;
  CFtpFile(CFtpSession::Impl& session, FtpFileMode mode, unsigned serial);
  // Still the session's open file: not closed, and the session was not closed or reconnected.
  bool Live() const;
  CFtpSession::Impl& session_;
  FtpFileMode mode_;
  unsigned serial_;
  bool open_ = true;
};

}  // namespace tarnwick
