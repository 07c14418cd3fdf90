// The local sources of a job as its file list, for the copy job (full target paths at the
// destination, destination folders made on the way) and the zip job (names inside the archive).
#pragma once

#include "engine/JobContext.h"
#include "engine/JobDestination.h"
#include "engine/LocalFolderWalk.h"
#include "engine/TransferList.h"

namespace tarnwick {

enum class LocalListKind {
  Copy,     // target: the full path below the destination's root; sub-folders are made there
  Archive,  // target: the name inside the archive ("Docs/Sub/b.txt"); no folder is made
};

// Whether some local folder item is the destination folder itself (or, for a copy, the folder its
// files would go to): backing it up would copy it into itself or leave it out silently. Each such
// item gets an ERROR row; true when none was found.
bool SourcesAvoidDestination(JobContext& context, const JobDestination& destination, LocalListKind kind);

// Hands the files of the job's local sources to `onFile` in item order while the folders are
// walked: a file item by its name, a folder item under its last path component, walked with its
// masks. The destination's own folders are never walked; a folder that cannot be read gets an
// ERROR row with the system's reason, where the walk meets it. Memory stays flat however many
// files there are. No count is made first: the progress a job shows is per file, so it needs no
// total. False when `onFile` said to end or a stop was requested.
bool ForEachLocalSource(JobContext& context, JobDestination& destination, LocalListKind kind,
                        const FileVisitor& onFile);

// The same files as one list, for callers that need it whole.
TransferList BuildLocalSourceList(JobContext& context, JobDestination& destination, LocalListKind kind);

}  // namespace tarnwick
