// The job record a launch makes of a profile and hands to a backup worker.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "app/Status.h"
#include "profiles/Profile.h"

namespace tarnwick {

// The launch copy of a profile, read in place by the backup worker. The busy and stop flags are
// not part of it: the engine's controller keeps them as atomics beside the record.
struct BackupJob {
  std::vector<SourceItem> localSources;
  bool destIsLocal = true;
  FtpSite ftpDest;  // remotePath is final (date folder added, trailing "/" removed)
  std::vector<FtpSource> remoteSources;
  std::string localDestFolder;  // final: date folder added, trailing separator removed
  bool useDateFolder = false;
  bool anonymousLogin = false;
  std::string zipPath;                      // full path of the archive; for an FTP destination it starts with the host
  std::int32_t zipLevel = kNormalZipLevel;  // always 0 to 9
  bool verify = false;                      // check what was written once the backup is complete
  bool readBack = false;                    // the check downloads copies on servers and compares their bytes
};

// Which worker a made job is for.
enum class JobKind { Copy, Zip };

struct MakeJobResult {
  Status status;  // why the job was refused (InvalidArgument); ok when `job` was filled
  JobKind kind = JobKind::Copy;
};

// Fills `job` from `profile` for a run at `now` and says which worker to start. A destination,
// archive or local source path over the platform's path limit refuses the job (RunTargetsOf) and
// leaves `job` unchanged (the other checks of ProfileProblem are the caller's). A compression
// level outside 0 to 9 goes into the job as Normal. The one-job rule and the worker's start are
// the caller's.
MakeJobResult MakeJob(const Profile& profile, BackupJob& job, std::time_t now);

}  // namespace tarnwick
