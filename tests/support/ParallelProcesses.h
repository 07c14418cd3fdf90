// Runs one piece of work in many processes at once, for the tests of files that several processes
// change: the children are forked, wait at a common start line, and each runs `work` with its
// index and ends.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace tarnwick::test {

// Forks `count` processes that all start `work(index)` at the same moment; returns how many ended
// with `work` returning true. Call it from a test that has started no threads of its own.
inline int RunInParallelProcesses(int count, const std::function<bool(int index)>& work) {
  int startLine[2];
  if (::pipe(startLine) != 0) return 0;
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(startLine[1]);
      char ignored;
      // Blocks until the parent closes its end: then every child reads the end of the pipe at once.
      while (::read(startLine[0], &ignored, 1) > 0) {
      }
      ::_exit(work(i) ? 0 : 1);
    }
    if (pid > 0) children.push_back(pid);
  }
  ::close(startLine[0]);
  ::close(startLine[1]);
  int succeeded = 0;
  for (const pid_t pid : children) {
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) ++succeeded;
  }
  return succeeded;
}

}  // namespace tarnwick::test
