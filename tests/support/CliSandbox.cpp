#include "support/CliSandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <sstream>
#include <thread>

#include "app/ProgramFolder.h"

extern char** environ;

namespace tarnwick::test {

namespace fs = std::filesystem;

pid_t StartProcess(const std::vector<std::string>& command, const fs::path& workdir, const fs::path& out,
                   const fs::path& err, int errFd, const fs::path& inFile) {
  // fork rather than posix_spawn: the child changes its directory before it starts the program.
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (!workdir.empty() && ::chdir(workdir.c_str()) != 0) ::_exit(126);
  const int in = ::open(inFile.c_str(), O_RDONLY);
  const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int errTarget = errFd >= 0 ? errFd : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || outFd < 0 || errTarget < 0) ::_exit(126);
  ::dup2(in, 0);
  ::dup2(outFd, 1);
  ::dup2(errTarget, 2);
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execve(argv[0], argv.data(), environ);
  ::_exit(127);
}

int WaitProcess(pid_t pid, std::chrono::milliseconds limit) {
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliSandbox::CliSandbox() : cli_(dir_ / "bin/tarnwick-cli") {
  fs::create_directories(dir_ / "bin/Profile");
  fs::create_symlink(TARNWICK_CLI_PATH, cli_);
  SetProgramFolderPath(dir_ / "bin");
}

std::vector<std::string> CliSandbox::Command(const std::vector<std::string>& args) const {
  std::vector<std::string> command{cli_.string()};
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

pid_t CliSandbox::Start(const std::vector<std::string>& args, int errFd) const {
  return StartProcess(Command(args), dir_.path(), dir_ / "out", dir_ / "err", errFd);
}

ProcessResult CliSandbox::RunWithInput(const std::vector<std::string>& args, const std::string& input) const {
  WriteFile(dir_ / "in", input);
  return Finish(StartProcess(Command(args), dir_.path(), dir_ / "out", dir_ / "err", -1, dir_ / "in"));
}

ProcessResult CliSandbox::Finish(pid_t pid, std::chrono::milliseconds limit) const {
  return Collect(pid, "out", "err", limit);
}

pid_t CliSandbox::StartNamed(const std::string& name, const std::vector<std::string>& args) const {
  return StartProcess(Command(args), dir_.path(), dir_ / (name + ".out"), dir_ / (name + ".err"));
}

ProcessResult CliSandbox::FinishNamed(const std::string& name, pid_t pid) const {
  return Collect(pid, name + ".out", name + ".err");
}

ProcessResult CliSandbox::Collect(pid_t pid, const std::string& out, const std::string& err,
                                  std::chrono::milliseconds limit) const {
  ProcessResult result;
  result.status = WaitProcess(pid, limit);
  std::error_code ec;
  if (fs::exists(dir_ / out, ec)) result.out = ReadFile(dir_ / out);
  if (fs::exists(dir_ / err, ec)) result.err = ReadFile(dir_ / err);
  return result;
}

bool CliSandbox::WaitForText(const std::string& file, const std::string& text) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    if (fs::exists(dir_ / file, ec) && ReadFile(dir_ / file).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tarnwick::test
