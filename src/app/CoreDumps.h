// A crash of a run must not leave its memory on disk: it holds the passwords of profiles and
// account files, and key passphrases.
#pragma once

#include "app/Status.h"

namespace tarnwick {

// Sets this process's core size limit to 0 (soft and hard, so no child raises it again) and makes
// it not dumpable (no core, and no other process of the user may ptrace it or read its memory
// through /proc). Call first thing in main, before any thread starts. IoError when the system
// refused; the process goes on, it is the caller's to say so.
Status ForbidCoreDumps();

}  // namespace tarnwick
