#include "app/CoreDumps.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// In a child, as the programs start: afterwards no core of any size, nor dumpable at all, and the
// limit cannot be raised again.
TEST(CoreDumpsTest, AProcessThatForbidsThemHasNoCoreLimitAndIsNotDumpable) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (!ForbidCoreDumps().ok()) ::_exit(1);
    rlimit limit{};
    if (::getrlimit(RLIMIT_CORE, &limit) != 0 || limit.rlim_cur != 0 || limit.rlim_max != 0) ::_exit(2);
    if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) ::_exit(3);
    const rlimit raised{RLIM_INFINITY, RLIM_INFINITY};
    if (::geteuid() != 0 && ::setrlimit(RLIMIT_CORE, &raised) == 0) ::_exit(4);
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: refused, 2: a core limit, 3: dumpable, 4: limit raised again";
}

}  // namespace
}  // namespace tarnwick
