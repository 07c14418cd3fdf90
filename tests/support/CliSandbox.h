// Runs tarnwick-cli as a user does: the built program started through a link in a program folder of
// its own (the program folder is taken from argv[0]), with its output captured in files.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick::test {

struct ProcessResult {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Starts `command` (command[0] is the program's path) in `workdir` with standard input from `in`
// and standard output and error to the given files; `errFd` >= 0 replaces the error file.
pid_t StartProcess(const std::vector<std::string>& command, const std::filesystem::path& workdir,
                   const std::filesystem::path& out, const std::filesystem::path& err, int errFd = -1,
                   const std::filesystem::path& in = "/dev/null");

// Waits for the process; its exit status, or -1. One still running after `limit` is killed (-1).
int WaitProcess(pid_t pid, std::chrono::milliseconds limit = std::chrono::hours(24));

// A temporary folder holding bin/tarnwick-cli (a link to the built program) and bin/Profile, made
// the program folder of this process too, so profiles saved by the test are the ones the CLI sees.
class CliSandbox {
 public:
  CliSandbox();

  std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path ProgramFolder() const { return dir_ / "bin"; }

  // Starts `tarnwick-cli args...` in the sandbox folder; output goes to the files "out" and "err".
  pid_t Start(const std::vector<std::string>& args, int errFd = -1) const;
  // Waits for a started run (killing it after `limit`) and collects its output.
  ProcessResult Finish(pid_t pid, std::chrono::milliseconds limit = std::chrono::hours(24)) const;
  ProcessResult Run(const std::vector<std::string>& args) const { return Finish(Start(args)); }
  // Runs it with `input` as its standard input.
  ProcessResult RunWithInput(const std::vector<std::string>& args, const std::string& input) const;
  // Waits until the running program has printed `text` (at most 20 s).
  bool WaitForOutput(const std::string& text) const { return WaitForText("out", text); }

  // For several programs at once: output to "<name>.out" and "<name>.err".
  pid_t StartNamed(const std::string& name, const std::vector<std::string>& args) const;
  ProcessResult FinishNamed(const std::string& name, pid_t pid) const;
  // Waits until the sandbox file `file` holds `text` (at most 20 s).
  bool WaitForText(const std::string& file, const std::string& text) const;

 private:
  std::vector<std::string> Command(const std::vector<std::string>& args) const;
  ProcessResult Collect(pid_t pid, const std::string& out, const std::string& err,
                        std::chrono::milliseconds limit = std::chrono::hours(24)) const;

  TempDir dir_;
  std::filesystem::path cli_;
};

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace tarnwick::test
