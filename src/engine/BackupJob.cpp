#include "engine/BackupJob.h"

#include <utility>

namespace tarnwick {

MakeJobResult MakeJob(const Profile& profile, BackupJob& job, std::time_t now) {
  RunTargets targets;
  if (Status problem = RunTargetsOf(profile, now, targets); !problem.ok()) return {std::move(problem), JobKind::Copy};

  BackupJob made;
  made.localSources = profile.localSources;
  made.remoteSources = profile.remoteSources;
  made.destIsLocal = profile.destIsLocal;
  made.useDateFolder = profile.useDateFolder;
  made.anonymousLogin = profile.anonymousLogin;
  made.verify = profile.verifyAfterBackup;
  made.readBack = profile.verifyByReadingBack;
  made.localDestFolder = profile.localDestFolder;
  made.ftpDest = profile.ftpDest;
  (profile.destIsLocal ? made.localDestFolder : made.ftpDest.remotePath) = targets.folder;
  // The profile keeps whatever level its file holds; a level no packer knows packs as Normal, the
  // level the editor shows for it.
  made.zipLevel = profile.zipLevel >= 0 && profile.zipLevel <= 9 ? profile.zipLevel : kNormalZipLevel;
  made.zipPath = targets.zipPath;
  job = std::move(made);
  return {Status(), profile.compress ? JobKind::Zip : JobKind::Copy};
}

}  // namespace tarnwick
