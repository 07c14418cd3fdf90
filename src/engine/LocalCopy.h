// The copy of one local file to a local target.
#pragma once

#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

// Copies `source` to `target` in chunks of at most 2 MiB, with one status text and one progress
// position per chunk, polling the stop flag before each chunk. The copy is written under a
// temporary name beside `target` and renamed over it only when complete, so an older copy is never
// replaced by a part; a copy stopped before its end leaves no file behind and returns true (a stop
// is not a failure). Any open, read or write error returns false. The copy keeps the source's
// modification time and permission bits (less the umask). Holes of the source (where the file
// system can say where they are) stay holes in the copy: its content is equal, not its size on disk.
bool CopyLocalFile(JobContext& context, const std::string& source, const std::string& target);

}  // namespace tarnwick
