#include "app/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "formats/FileIo.h"

extern char** environ;

namespace tarnwick {
namespace {

// posix_spawn's file actions, released with it.
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
};

// `outFd` >= 0 becomes the program's standard output, `errFd` >= 0 its standard error.
pid_t Spawn(const std::vector<std::string>& command, ChildOutput output, int outFd, int errFd = -1) {
  if (command.empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (output == ChildOutput::Discard) {
    posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (outFd >= 0) posix_spawn_file_actions_adddup2(actions.get(), outFd, STDOUT_FILENO);
  if (errFd >= 0) posix_spawn_file_actions_adddup2(actions.get(), errFd, STDERR_FILENO);
  // A caller's thread may block signals (the monitor's threads all do); the program must not
  // inherit that, or it could not be ended by a signal.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t child = -1;
  const int spawned = ::posix_spawnp(&child, argv[0], actions.get(), &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return spawned == 0 ? child : -1;
}

}  // namespace

pid_t StartProgram(const std::vector<std::string>& command, ChildOutput output) { return Spawn(command, output, -1); }

int WaitProgram(pid_t pid) {
  if (pid < 0) return 127;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}

bool ReapProgram(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; }

int RunProgram(const std::vector<std::string>& command, std::string* out) {
  if (out == nullptr) return WaitProgram(StartProgram(command, ChildOutput::Inherit));
  int pipeFds[2] = {-1, -1};
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return 127;
  const pid_t pid = Spawn(command, ChildOutput::Inherit, pipeFds[1]);
  ::close(pipeFds[1]);
  if (pid > 0) (void)ReadAll(pipeFds[0], *out);
  ::close(pipeFds[0]);
  return WaitProgram(pid);
}

int RunProgramForErrors(const std::vector<std::string>& command, std::string* err) {
  int pipeFds[2] = {-1, -1};
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return 127;
  const pid_t pid = Spawn(command, ChildOutput::Discard, -1, pipeFds[1]);
  ::close(pipeFds[1]);
  if (pid > 0) (void)ReadAll(pipeFds[0], *err);
  ::close(pipeFds[0]);
  return WaitProgram(pid);
}

}  // namespace tarnwick
