// The opening that every backup job shares.
#pragma once

#include "engine/FtpTransfers.h"
#include "engine/JobContext.h"

namespace tarnwick {

// Makes the local destination folder, logs "Backup Start." and, for an FTP destination, logs in to
// `destination` (a copy of the job's site: logging in may make its remote path absolute). False,
// after "Backup End." is logged, when the FTP destination cannot be reached.
bool OpenJob(JobContext& context, FtpSite& destination, FtpJobConnection& connection);

}  // namespace tarnwick
