// The check of a finished backup: every copy compared with its source, or the archive read back
// from disk (and, on a server, compared with the copy it was sent from). The log gets rows of their
// own: "Verify copies in ..." or "Verify archive ..." (VERIFY) first, then per copy (or archive)
// that matched "<path> verified (<what was compared>)." (VERIFY) and per mismatch an ERROR row, and
// "Verify done: n checked, m failed." (VERIFY) last unless the check was stopped.
#pragma once

#include <string>
#include <vector>

#include "engine/JobContext.h"
#include "engine/JobDestination.h"
#include "engine/TransferList.h"
#include "profiles/Profile.h"

namespace tarnwick {

// Files a run copied from one FTP source, with the session they were read on, kept open for the
// check.
struct FetchedCopies {
  FtpJobConnection from;
  TransferList copies;  // the remote file, the full path of its copy
};

// Checks each of `copies` (source, full target path) at `destination` by its content where it
// can be read (JobDestination::CheckCopy), then each of `fetched` (written in this run). The job's
// `readBack` downloads copies on servers rather than trusting their answers. Returns the number of
// mismatches.
int VerifyCopies(JobContext& context, JobDestination& destination, const TransferList& copies,
                 const std::vector<FetchedCopies>& fetched = {});

// What the local file an archive check reads is to the archive at the destination.
enum class ArchiveCopy {
  Itself,      // the stored archive (a local destination)
  SentFrom,    // the file it was uploaded from: the stored one is compared with it afterwards
  Downloaded,  // a download of the stored archive
};

// Reads back the local archive file `localArchive`, stored at the destination as `archivePath`:
// every entry inflated and its size, CRC-32 and name checked; for an archive sent to a server the
// stored one is then compared with it (JobDestination::CheckStoredArchive). Returns the number of
// mismatches, an archive that cannot be read as one counting as one.
int VerifyArchive(JobContext& context, JobDestination& destination, const std::string& localArchive,
                  const std::string& archivePath, ArchiveCopy copy);

// Exit codes of RunVerifyJob.
enum VerifyJobExit : int {
  VERIFYJOB_MATCHED = 0,
  VERIFYJOB_MISMATCHED = 1,       // at least one ERROR row
  VERIFYJOB_STOPPED = 2,          // "Backup has been stopped." was logged
  VERIFYJOB_NO_DESTINATION = -1,  // the FTP destination could not be reached
};

// The check alone, without a backup, of what a run of `kind` at the job's moment would have
// written: the copies as VerifyCopies compares them, or the archive read back (from a server it is
// downloaded into a temporary folder first). Nothing at the destination is made or changed.
int RunVerifyJob(JobContext& context, JobKind kind);

}  // namespace tarnwick
