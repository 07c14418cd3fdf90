#include "app/CoreDumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cerrno>

namespace tarnwick {

Status ForbidCoreDumps() {
  const rlimit none{0, 0};
  if (::setrlimit(RLIMIT_CORE, &none) != 0) return Status::IoError("RLIMIT_CORE", errno);
  // A core_pattern that pipes to a program ignores RLIMIT_CORE; not dumpable stops that too.
  if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) return Status::IoError("PR_SET_DUMPABLE", errno);
  return Status::Ok();
}

}  // namespace tarnwick
