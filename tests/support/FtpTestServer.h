// A real FTP server (pyftpdlib) on 127.0.0.1 for one test, with its folders in a temporary folder.
//
//   root()                  home of user()/password(), full rights
//   root() / kLockedFolder  a folder below it that no one may enter or list
//   anonRoot()              home of anonymous logins (empty user name), read-write
//
// The constructor starts the server and returns once it accepts connections (it throws with the
// server's log when it cannot); the destructor ends the process. The server also ends by itself
// when this program goes away, so no test leaves one behind.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick::test {

struct FtpTestServerOptions {
  bool mlsd = true;                   // false: MLSD is hidden, so clients fall back to LIST
  std::int64_t dropAfterBytes = -1;   // >= 0: data connections are cut after this many bytes
  std::int64_t stallAfterBytes = -1;  // >= 0: data connections stop moving after this many bytes
  bool ignoreQuit = false;            // QUIT gets no reply, as from a server that hangs
  // Last, so that the tests' aggregate initialisers keep their meaning.
  int refuseMlsd = 0;     // a reply code: MLSD stays in FEAT but is refused with it
  bool mayRename = true;  // false: the account may store but not rename
  bool mayDelete = true;  // false: the account may not delete files
  // Hostile listings (folders are paths from the account's home, e.g. "/pub"):
  std::vector<std::pair<std::string, std::string>> crafted{};  // folder, the raw listing its MLSD and LIST send
  std::string endless{};                                       // a folder whose listing never ends
  std::string loop{};  // a folder that, with every folder below it, lists sub-folders a and b
  // Explicit TLS, required on control and data connections, with this certificate and key (PEM
  // files, see TestCertificates); empty: plain FTP only.
  std::string tlsCertificate{};
  std::string tlsKey{};
  // HASH offered with these algorithms as FEAT lists them ("SHA-256*;CRC32": "*" marks the one
  // selected on a new connection); empty: not offered.
  std::string hash{};
  bool hashLies = false;  // HASH answers a digest that is not the file's
  // HASH answers the digest it first gave for a file, whatever the file holds later.
  bool hashCached = false;
  bool sizeLies = false;  // SIZE answers one byte more than the file holds
};

// Certificates made for one test by make_test_certs.py, in a temporary folder: a test authority
// and servers' certificates with their keys. Throws when they cannot be made.
class TestCertificates {
 public:
  TestCertificates();
  std::string Ca() const { return Pem("ca"); }
  // "trusted" (issued by Ca() for 127.0.0.1), "mismatch" (issued for another name), "expired",
  // "selfsigned".
  std::string Pem(const std::string& stem) const { return (dir_.path() / (stem + ".pem")).string(); }
  std::string Key(const std::string& stem) const { return (dir_.path() / (stem + ".key")).string(); }
  // A server options record that speaks TLS with that certificate.
  FtpTestServerOptions Server(const std::string& stem) const;

 private:
  TempDir dir_;
};

class FtpTestServer {
 public:
  static constexpr const char* kUser = "backup";
  static constexpr const char* kPassword = "s3cret pass";
  static constexpr const char* kLockedFolder = "locked";

  explicit FtpTestServer(FtpTestServerOptions options = {});
  ~FtpTestServer();
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  std::string host() const { return "127.0.0.1"; }
  int port() const { return port_; }
  std::string user() const { return kUser; }
  std::string password() const { return kPassword; }
  const std::filesystem::path& root() const { return root_; }
  const std::filesystem::path& anonRoot() const { return anonRoot_; }
  // What the server has logged so far, for failure messages.
  std::string Log() const;

 private:
  void Stop();

  TempDir dir_;
  std::filesystem::path root_;
  std::filesystem::path anonRoot_;
  pid_t pid_ = -1;
  int stdinFd_ = -1;  // closing it tells the server to end
  int port_ = 0;
};

// Whether something on 127.0.0.1 (or ::1) accepts connections on the port.
bool LoopbackAccepts(int port, bool ipv6 = false);

// A loopback port nothing listens on (it was free a moment ago): "could not connect".
int ClosedLoopbackPort();

// A loopback socket that listens but never accepts: connections complete their handshake and then
// hear nothing, as with a server that hangs.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A hostile loopback server that greets each connection (one at a time) with "220-" and then bytes
// that never end the line, until the client hangs up:
//   Flood  as fast as the connection takes them
//   Drip   one byte a second
//   Lines  a further "220-" line a second, so the greeting never ends either
//   Reply  a whole greeting, and any login taken; then the reply to the first other command gets
//          a further line a second and never ends
class EndlessGreeter {
 public:
  enum class Pace { Flood, Drip, Lines, Reply };
  explicit EndlessGreeter(Pace pace);
  ~EndlessGreeter();
  EndlessGreeter(const EndlessGreeter&) = delete;
  EndlessGreeter& operator=(const EndlessGreeter&) = delete;
  int port() const { return port_; }

 private:
  void Serve();
  void Greet(int client);

  Pace pace_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace tarnwick::test
