// A real OpenSSH server (Debian's /usr/sbin/sshd, with a configuration of its own, not the
// system's) on a free loopback port for one test: its own host key, key login only for the user
// running the test, SFTP through the built-in server.
//
// With a password in its options the server also takes password logins. sshd checks passwords
// against the shadow database, which a test must not change: the server then runs in a mount
// namespace of its own where a copy of /etc/shadow, with the test's password for the user, lies
// over the real one. That needs root; elsewhere the constructor throws and tests skip.
//
//   root()            a folder for the test's files (an absolute path on the server too)
//   keyFile()         the private key the server accepts; otherKey() one it does not know
//   knownHostsFile()  a known-hosts file that holds the server's host key
//
// The constructor throws with sshd's log when the server cannot start; tests then skip. The
// destructor ends the server, which also ends with this program.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>

#include "ftp/FtpSession.h"
#include "support/TempDir.h"

namespace tarnwick::test {

struct SshTestServerOptions {
  std::string password;  // not empty: password logins too, with this password for user()
  // Every key login ends the connection while the key is checked, as a server crashing then would.
  bool dropKeyLogins = false;
  // Listens on ::1 instead of 127.0.0.1 (the constructor throws where IPv6 loopback is missing).
  bool ipv6 = false;
};

class SshTestServer {
 public:
  explicit SshTestServer(const SshTestServerOptions& options = {});
  ~SshTestServer();
  SshTestServer(const SshTestServer&) = delete;
  SshTestServer& operator=(const SshTestServer&) = delete;

  int port() const { return port_; }
  const std::string& host() const { return host_; }  // "127.0.0.1" or "::1"
  const std::string& user() const { return user_; }
  const std::filesystem::path& root() const { return root_; }
  std::string keyFile() const { return (dir_ / "user_key").string(); }
  std::string otherKey() const { return (dir_ / "other_key").string(); }
  std::string knownHostsFile() const { return (dir_ / "known_hosts").string(); }
  // A known-hosts line for this host and port with another key, as after a server was replaced.
  std::string ChangedKnownHostsLine() const;
  // Lets the key of the public key file log in too (sshd reads the list at each login).
  void Authorize(const std::string& publicKeyFile) const;
  // Connection parameters for a key login that trusts the server's key.
  FtpConnectParams Account() const;
  std::string Log() const;
  // Kills every process the server started for its connections (the listener stays), as a
  // crashed or restarted server would end them; returns how many it killed.
  int DropSessions();

 private:
  TempDir dir_;
  std::filesystem::path root_;
  std::string user_;
  std::string host_ = "127.0.0.1";
  pid_t pid_ = -1;
  int port_ = 0;
};

// A started server, or null with the reason in `whyNot` (for the test to skip with).
std::unique_ptr<SshTestServer> StartSshTestServer(std::string& whyNot, const SshTestServerOptions& options = {});

}  // namespace tarnwick::test
