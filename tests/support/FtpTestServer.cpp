#include "support/FtpTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tarnwick::test {
namespace {

using Clock = std::chrono::steady_clock;

// A TCP socket bound to 127.0.0.1 on a free port; its port in `port`.
int BoundLoopbackSocket(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    throw std::runtime_error("bind failed");
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

bool LoopbackAccepts(int port, bool ipv6) {
  const int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  sockaddr_in6 address6{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address6.sin6_family = AF_INET6;
  address6.sin6_port = address.sin_port;
  address6.sin6_addr = in6addr_loopback;
  const bool ok = ipv6 ? connect(fd, reinterpret_cast<sockaddr*>(&address6), sizeof address6) == 0
                       : connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

FtpTestServer::FtpTestServer(FtpTestServerOptions options)
    : root_(dir_.path() / "home"), anonRoot_(dir_.path() / "anon") {
  std::filesystem::create_directories(root_ / kLockedFolder);
  std::filesystem::create_directories(anonRoot_);

  std::vector<std::string> args = {
      "/usr/bin/python3", std::string(TARNWICK_TEST_SOURCE_DIR) + "/tests/support/ftp_test_server.py",
      "--home",           root_.string(),
      "--user",           kUser,
      "--password",       kPassword,
      "--anon",           anonRoot_.string(),
      "--locked",         (root_ / kLockedFolder).string(),
      "--drop-after",     std::to_string(options.dropAfterBytes),
      "--stall-after",    std::to_string(options.stallAfterBytes)};
  if (!options.mlsd) args.push_back("--no-mlsd");
  if (options.refuseMlsd != 0) {
    args.push_back("--refuse-mlsd");
    args.push_back(std::to_string(options.refuseMlsd));
  }
  if (options.ignoreQuit) args.push_back("--ignore-quit");
  if (!options.mayRename) args.push_back("--no-rename");
  if (!options.mayDelete) args.push_back("--no-delete");
  for (std::size_t i = 0; i < options.crafted.size(); ++i) {
    const std::filesystem::path file = dir_.path() / ("crafted-" + std::to_string(i));
    WriteFile(file, options.crafted[i].second);
    args.push_back("--crafted");
    args.push_back(options.crafted[i].first + "=" + file.string());
  }
  if (!options.endless.empty()) args.insert(args.end(), {"--endless", options.endless});
  if (!options.loop.empty()) args.insert(args.end(), {"--loop", options.loop});
  if (!options.tlsCertificate.empty()) args.insert(args.end(), {"--tls", options.tlsCertificate, options.tlsKey});
  if (!options.hash.empty()) args.insert(args.end(), {"--hash", options.hash});
  if (options.hashLies) args.push_back("--hash-lies");
  if (options.hashCached) args.push_back("--hash-cached");
  if (options.sizeLies) args.push_back("--size-lies");
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // A clean environment: the system interpreter, UTF-8 file names, no byte-code in the source tree.
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8", "PYTHONUTF8=1", "PYTHONDONTWRITEBYTECODE=1"};
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const std::string logPath = (dir_.path() / "server.log").string();
  posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  stdinFd_ = in[1];
  if (spawned != 0) {
    pid_ = -1;
    close(out[0]);
    Stop();
    throw std::runtime_error("cannot start /usr/bin/python3");
  }

  // The first line on stdout is the port, printed once the server listens.
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[64];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  port_ = std::atoi(line.c_str());
  while (port_ > 0 && !LoopbackAccepts(port_) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (port_ <= 0 || !LoopbackAccepts(port_)) {
    const std::string log = Log();
    Stop();
    throw std::runtime_error("the FTP test server did not start:\n" + log);
  }
}

FtpTestServer::~FtpTestServer() { Stop(); }

void FtpTestServer::Stop() {
  if (stdinFd_ >= 0) {
    close(stdinFd_);
    stdinFd_ = -1;
  }
  if (pid_ <= 0) return;
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string FtpTestServer::Log() const {
  std::ifstream in(dir_.path() / "server.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int ClosedLoopbackPort() {
  int port = 0;
  close(BoundLoopbackSocket(port));
  return port;
}

SilentListener::SilentListener() {
  fd_ = BoundLoopbackSocket(port_);
  if (listen(fd_, 1) != 0) {
    close(fd_);
    throw std::runtime_error("listen failed");
  }
}

SilentListener::~SilentListener() { close(fd_); }

EndlessGreeter::EndlessGreeter(Pace pace) : pace_(pace) {
  fd_ = BoundLoopbackSocket(port_);
  if (listen(fd_, 4) != 0) {
    close(fd_);
    throw std::runtime_error("listen failed");
  }
  thread_ = std::thread([this] { Serve(); });
}

EndlessGreeter::~EndlessGreeter() {
  stop_ = true;
  thread_.join();
  close(fd_);
}

void EndlessGreeter::Serve() {
  while (!stop_) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0) continue;
    Greet(client);
    close(client);
  }
}

void EndlessGreeter::Greet(int client) {
  const std::string flood(65536, 'a');
  std::string pending = pace_ == Pace::Reply ? "220 Ready.\r\n" : "220-";
  std::string received;
  bool endless = pace_ != Pace::Reply;  // the reply that never ends has begun
  auto last = Clock::now();
  while (!stop_) {
    char buffer[512];
    const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return;  // the client hung up
    if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; !endless && (end = received.find("\r\n")) != std::string::npos;) {
      const std::string command = received.substr(0, 4);
      received.erase(0, end + 2);
      if (command == "USER") {
        pending += "331 Password.\r\n";
      } else if (command == "PASS") {
        pending += "230 Logged in.\r\n";
      } else if (command == "PWD") {
        pending += "257 \"/\"\r\n";
      } else {
        endless = true;
      }
    }
    if (pace_ == Pace::Flood && pending.empty()) pending = flood;
    if (endless && pace_ != Pace::Flood && pending.empty() && Clock::now() - last >= std::chrono::seconds(1)) {
      pending = pace_ == Pace::Drip ? "a" : pace_ == Pace::Lines ? "220-still greeting\r\n" : "211-still replying\r\n";
      last = Clock::now();
    }
    pollfd p{client, static_cast<short>(pending.empty() ? 0 : POLLOUT), 0};
    poll(&p, 1, 50);
    if (pending.empty() || (p.revents & POLLOUT) == 0) continue;
    const ssize_t sent = send(client, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;
    if (sent > 0) pending.erase(0, static_cast<std::size_t>(sent));
  }
}

}  // namespace tarnwick::test

namespace tarnwick::test {

TestCertificates::TestCertificates() {
  const std::string command = "/usr/bin/python3 '" + std::string(TARNWICK_TEST_SOURCE_DIR) +
                              "/tests/support/make_test_certs.py' '" + dir_.path().string() + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make test certificates: " + command);
}

FtpTestServerOptions TestCertificates::Server(const std::string& stem) const {
  FtpTestServerOptions options;
  options.tlsCertificate = Pem(stem);
  options.tlsKey = Key(stem);
  return options;
}

}  // namespace tarnwick::test
