// Other programs the core starts (systemctl, gdbus, ...): found on PATH, with standard input from
// /dev/null. Started with posix_spawn, so a threaded caller never runs code between fork and exec.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnwick {

// Where a started program's standard output and error go.
enum class ChildOutput {
  Inherit,  // the caller's own
  Discard,  // /dev/null: its words must not mix with the caller's
};

// Starts `command` (command[0] looked up on PATH); its process id, or -1 when it could not start.
// Whoever starts a program waits for it, now (WaitProgram) or later (ReapProgram).
pid_t StartProgram(const std::vector<std::string>& command, ChildOutput output);

// Waits for a started program; its exit status, or 127 when it did not exit normally.
int WaitProgram(pid_t pid);

// True when the started program has ended (and is reaped), without waiting.
bool ReapProgram(pid_t pid);

// Runs `command` to its end: its standard output is collected into `*out` when given (standard
// error stays the caller's), else both are the caller's. The exit status, or 127 when it cannot
// be run.
int RunProgram(const std::vector<std::string>& command, std::string* out = nullptr);

// Runs `command` to its end with its standard output discarded and its standard error collected
// into `*err`, for a program whose complaints are the reason of its failure. The exit status, or
// 127 when it cannot be run.
int RunProgramForErrors(const std::vector<std::string>& command, std::string* err);

}  // namespace tarnwick
