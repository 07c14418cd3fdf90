#include "support/SshTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/FtpTestServer.h"

namespace tarnwick::test {
namespace {

void Run(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) throw std::runtime_error("failed: " + command);
}

void MakeKey(const std::filesystem::path& file) {
  Run("ssh-keygen -q -t ed25519 -N '' -C test -f '" + file.string() + "'");
}

// "keytype base64" of a public key file.
std::string PublicKey(const std::filesystem::path& file) {
  std::string text = ReadFile(file);
  const std::size_t second = text.find(' ', text.find(' ') + 1);
  return text.substr(0, second);
}

// /etc/shadow with `user`'s password hash replaced by one of `password` (the line added when the
// user has none); every other line as it is.
std::string ShadowWithPassword(const std::string& user, const std::string& password) {
  if (password.find('\'') != std::string::npos) throw std::runtime_error("a test password may not hold a quote");
  const std::string hash = FirstOutputLine("printf '%s' '" + password + "' | openssl passwd -6 -stdin");
  if (hash.rfind("$6$", 0) != 0) throw std::runtime_error("openssl made no password hash");
  std::istringstream in(ReadFile("/etc/shadow"));
  std::string out;
  bool found = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(user + ":", 0) == 0) {
      const std::size_t start = user.size() + 1;
      const std::size_t end = line.find(':', start);
      line.replace(start, end == std::string::npos ? end : end - start, hash);
      found = true;
    }
    out += line + "\n";
  }
  if (!found) out += user + ":" + hash + ":20000:0:99999:7:::\n";
  return out;
}

// Makes the child's mounts its own and lays `shadow` over /etc/shadow; between fork and exec, so
// only system calls. False (with a line on stderr) when the kernel would not.
bool PrivateShadow(const char* shadow) {
  if (unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
      mount(shadow, "/etc/shadow", nullptr, MS_BIND, nullptr) == 0) {
    return true;
  }
  static const char kWhy[] = "no private mount namespace for /etc/shadow\n";
  [[maybe_unused]] const ssize_t ignored = write(2, kWhy, sizeof kWhy - 1);
  return false;
}

// The parent of process `pid` from /proc, or 0.
pid_t ParentOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // "pid (name) state ppid ...": the name may hold spaces and parentheses, so read from the last ')'.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  char state = 0;
  pid_t parent = 0;
  fields >> state >> parent;
  return parent;
}

}  // namespace

SshTestServer::SshTestServer(const SshTestServerOptions& options) : root_(dir_ / "files") {
  passwd record{};
  passwd* account = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &record, buffer, sizeof buffer, &account) != 0 || !account) {
    throw std::runtime_error("no user name");
  }
  user_ = account->pw_name;
  std::filesystem::create_directories(root_);
  MakeKey(dir_ / "host_key");
  MakeKey(dir_ / "user_key");
  MakeKey(dir_ / "other_key");
  MakeKey(dir_ / "other_host_key");
  std::filesystem::copy_file(dir_ / "user_key.pub", dir_ / "authorized_keys");
  const bool passwords = !options.password.empty();
  const std::string shadow = (dir_ / "shadow").string();
  if (passwords) {
    if (getuid() != 0) throw std::runtime_error("password logins need root, for a private /etc/shadow");
    WriteFile(shadow, ShadowWithPassword(user_, options.password));
    std::filesystem::permissions(shadow, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  // sshd insists on its privilege separation folder, which only the package's service makes.
  if (getuid() == 0) std::filesystem::create_directories("/run/sshd");
  // Dropped key logins: sshd runs the keys command from the session's monitor, which it kills.
  const std::string keys =
      options.dropKeyLogins
          ? "AuthorizedKeysFile none\nAuthorizedKeysCommand /bin/sh -c \"kill -9 $PPID\"\nAuthorizedKeysCommandUser " +
                user_
          : "AuthorizedKeysFile " + (dir_ / "authorized_keys").string();
  if (options.ipv6) host_ = "::1";
  WriteFile(dir_ / "sshd_config", "ListenAddress " + host_ + "\nHostKey " + (dir_ / "host_key").string() + "\n" + keys +
                                      "\nPasswordAuthentication " + (passwords ? "yes" : "no") +
                                      "\nKbdInteractiveAuthentication no\nUsePAM no\n"
                                      "PermitRootLogin yes\nStrictModes no\nPidFile none\n"
                                      "Subsystem sftp internal-sftp\n");

  port_ = ClosedLoopbackPort();
  const std::string config = (dir_ / "sshd_config").string();
  const std::string log = (dir_ / "sshd.log").string();
  const std::string portText = std::to_string(port_);
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (logFd >= 0) dup2(logFd, 2);
    if (passwords && !PrivateShadow(shadow.c_str())) _exit(126);
    execl("/usr/sbin/sshd", "/usr/sbin/sshd", "-D", "-e", "-f", config.c_str(), "-p", portText.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) throw std::runtime_error("fork failed");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(LoopbackAccepts(port_, options.ipv6))) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) {
      const std::string why = "sshd did not start: " + Log();
      pid_ = -1;
      throw std::runtime_error(why);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  WriteFile(knownHostsFile(), "[" + host_ + "]:" + portText + " " + PublicKey(dir_ / "host_key.pub") + "\n");
}

SshTestServer::~SshTestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string SshTestServer::ChangedKnownHostsLine() const {
  return "[" + host_ + "]:" + std::to_string(port_) + " " + PublicKey(dir_ / "other_host_key.pub");
}

void SshTestServer::Authorize(const std::string& publicKeyFile) const {
  WriteFile(dir_ / "authorized_keys", ReadFile(dir_ / "authorized_keys") + ReadFile(publicKeyFile));
}

FtpConnectParams SshTestServer::Account() const {
  FtpConnectParams params;
  params.host = host_;
  params.port = port_;
  params.user = user_;
  params.sftp = true;
  params.keyFile = keyFile();
  params.knownHostsFile = knownHostsFile();
  return params;
}

int SshTestServer::DropSessions() {
  // Every process whose chain of parents reaches the listener, all found before any is killed: a
  // killed parent's children pass to init and would drop out of the chain.
  std::vector<pid_t> sessions;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    for (pid_t up = ParentOf(pid); up > 1; up = ParentOf(up)) {
      if (up == pid_) {
        sessions.push_back(pid);
        break;
      }
    }
  }
  for (const pid_t pid : sessions) kill(pid, SIGKILL);
  return static_cast<int>(sessions.size());
}

std::string SshTestServer::Log() const {
  std::error_code error;
  return std::filesystem::exists(dir_ / "sshd.log", error) ? ReadFile(dir_ / "sshd.log") : std::string();
}

std::unique_ptr<SshTestServer> StartSshTestServer(std::string& whyNot, const SshTestServerOptions& options) {
  try {
    return std::make_unique<SshTestServer>(options);
  } catch (const std::exception& e) {
    whyNot = std::string("no OpenSSH server for SFTP tests: ") + e.what();
    return nullptr;
  }
}

}  // namespace tarnwick::test
