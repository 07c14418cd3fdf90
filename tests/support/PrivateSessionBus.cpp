#include "support/PrivateSessionBus.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tarnwick::test {

PrivateSessionBus::PrivateSessionBus() {
  std::FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
  if (out == nullptr) return;
  char address[512] = {};
  long pid = 0;
  const bool read = std::fgets(address, sizeof address, out) != nullptr && std::fscanf(out, "%ld", &pid) == 1;
  ::pclose(out);
  if (!read || pid <= 0) return;
  daemon_ = static_cast<pid_t>(pid);
  std::string bus = address;
  while (!bus.empty() && (bus.back() == '\n' || bus.back() == '\r')) bus.pop_back();

  const std::string log = (dir_.path() / "monitor.txt").string();
  std::string args[] = {"dbus-monitor", "--address", bus, "interface='org.freedesktop.Notifications'"};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const bool spawned = ::posix_spawnp(&monitor_, "dbus-monitor", &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!spawned) return;
  // dbus-monitor gives up its unique name once it has become a monitor: from then on it sees all.
  for (int i = 0; i < 100 && MonitorText().find("NameLost") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (MonitorText().find("NameLost") != std::string::npos) address_ = bus;
}

bool PrivateSessionBus::StartNotificationServer() {
  if (address_.empty()) return false;
  const std::string script = std::string(TARNWICK_TEST_SOURCE_DIR) + "/tests/support/notification_server.py";
  const std::string ready = (dir_.path() / "server-ready").string();
  std::string args[] = {"/usr/bin/python3", script, address_, ready};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const bool spawned = ::posix_spawn(&server_, argv[0], &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!spawned) return false;
  for (int i = 0; i < 200; ++i) {
    if (std::ifstream(ready).peek() != EOF) return true;
    if (::waitpid(server_, nullptr, WNOHANG) == server_) {
      server_ = 0;  // no python3-dbus or python3-gi here
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

PrivateSessionBus::~PrivateSessionBus() {
  if (server_ > 0) {
    ::kill(server_, SIGTERM);
    ::waitpid(server_, nullptr, 0);
  }
  if (monitor_ > 0) {
    ::kill(monitor_, SIGTERM);
    ::waitpid(monitor_, nullptr, 0);
  }
  if (daemon_ > 0) ::kill(daemon_, SIGTERM);
}

std::string PrivateSessionBus::MonitorText() const {
  std::ifstream in(dir_.path() / "monitor.txt");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> PrivateSessionBus::NotifyCalls(std::size_t atLeast, std::chrono::milliseconds wait) const {
  const auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const std::string text = MonitorText();
    std::vector<std::string> calls;
    for (std::size_t at = text.find("member=Notify"); at != std::string::npos;) {
      const std::size_t next = text.find("member=Notify", at + 1);
      std::string call = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
      // dbus-monitor's output is block-buffered into the file and may stop mid-call: a call is
      // whole once its last argument, the int32 time-out, is there.
      const std::size_t timeout = call.find("\n   int32 ");
      if (timeout != std::string::npos && call.find('\n', timeout + 1) != std::string::npos) {
        calls.push_back(std::move(call));
      }
      at = next;
    }
    if (calls.size() >= atLeast || std::chrono::steady_clock::now() >= until) return calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace tarnwick::test
