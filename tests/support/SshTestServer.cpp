#include "support/SshTestServer.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

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

}  // namespace

SshTestServer::SshTestServer() : root_(dir_ / "files") {
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
  // sshd insists on its privilege separation folder, which only the package's service makes.
  if (getuid() == 0) std::filesystem::create_directories("/run/sshd");
  WriteFile(dir_ / "sshd_config",
            "ListenAddress 127.0.0.1\n"
            "HostKey " +
                (dir_ / "host_key").string() +
                "\n"
                "AuthorizedKeysFile " +
                (dir_ / "authorized_keys").string() +
                "\n"
                "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
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
    execl("/usr/sbin/sshd", "/usr/sbin/sshd", "-D", "-e", "-f", config.c_str(), "-p", portText.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) throw std::runtime_error("fork failed");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!LoopbackAccepts(port_)) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) {
      const std::string why = "sshd did not start: " + Log();
      pid_ = -1;
      throw std::runtime_error(why);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  WriteFile(knownHostsFile(), "[127.0.0.1]:" + portText + " " + PublicKey(dir_ / "host_key.pub") + "\n");
}

SshTestServer::~SshTestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string SshTestServer::ChangedKnownHostsLine() const {
  return "[127.0.0.1]:" + std::to_string(port_) + " " + PublicKey(dir_ / "other_host_key.pub");
}

void SshTestServer::Authorize(const std::string& publicKeyFile) const {
  WriteFile(dir_ / "authorized_keys", ReadFile(dir_ / "authorized_keys") + ReadFile(publicKeyFile));
}

FtpConnectParams SshTestServer::Account() const {
  FtpConnectParams params;
  params.host = "127.0.0.1";
  params.port = port_;
  params.user = user_;
  params.sftp = true;
  params.keyFile = keyFile();
  params.knownHostsFile = knownHostsFile();
  return params;
}

std::string SshTestServer::Log() const {
  std::error_code error;
  return std::filesystem::exists(dir_ / "sshd.log", error) ? ReadFile(dir_ / "sshd.log") : std::string();
}

std::unique_ptr<SshTestServer> StartSshTestServer(std::string& whyNot) {
  try {
    return std::make_unique<SshTestServer>();
  } catch (const std::exception& e) {
    whyNot = std::string("no OpenSSH server for SFTP tests: ") + e.what();
    return nullptr;
  }
}

}  // namespace tarnwick::test
