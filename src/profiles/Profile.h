// A backup profile in memory and the profile file that stores it. The job record a launch makes
// of it belongs to the engine (engine/BackupJob.h).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "app/Status.h"
#include "schedule/ScheduleRecord.h"

namespace tarnwick {

// The separator of local paths; FTP paths always use "/".
inline constexpr char kLocalPathSeparator = '/';

// The compression level of a profile that stores none, and of a stored level no packer knows.
inline constexpr std::int32_t kNormalZipLevel = 5;

// The kind of one backup source; the values are the stored ones.
enum class ItemKind : std::int32_t {
  LocalFolder = 0,
  LocalFile = 1,
  FtpFolder = 2,
  FtpFile = 3,
};

// One thing to back up: a local or remote file or folder.
struct SourceItem {
  std::string path;    // full local path, or the path on the FTP server
  std::string filter;  // folders only: "+[include]-[exclude]"; empty for files
  ItemKind kind = ItemKind::LocalFolder;
  bool recursive = false;  // folders only: include sub-folders

  friend bool operator==(const SourceItem&, const SourceItem&) = default;
};

// One FTP account: the FTP destination, and the head of each remote source.
struct FtpSite {
  std::string host;
  std::string port;  // decimal text, e.g. "21"
  std::string user;
  std::string password;       // plain text, as stored
  std::string remotePath;     // destination only: the folder on the server
  std::string passive;        // "1" = passive mode, else active; a source's file: passive unless ACTIVE
  bool serverIsUnix = false;  // remote sources only
  // FTP over explicit TLS. Off for a file that does not say (older files); the dialogs start a
  // new account with it on.
  bool tls = false;
  // SFTP instead of FTP (tls and passive then mean nothing), logging in with the private key in
  // keyFile, or with the password when it is empty. A key's passphrase is never stored.
  bool sftp = false;
  std::string keyFile{};

  friend bool operator==(const FtpSite&, const FtpSite&) = default;
};

// An FTP account to back up from, with its own items (FtpFolder and FtpFile only).
struct FtpSource {
  FtpSite site;
  std::vector<SourceItem> items;

  friend bool operator==(const FtpSource&, const FtpSource&) = default;
};

struct Profile {
  std::string name;      // also the file name without ".pfl"
  std::string filePath;  // full path of the profile file
  bool isScheduled = false;
  std::vector<SourceItem> localSources;  // LocalFolder and LocalFile
  std::vector<FtpSource> remoteSources;  // one per FTP account
  bool destIsLocal = true;
  std::string localDestFolder;
  FtpSite ftpDest;
  bool compress = false;
  // 0 Store, 1 Fastest, 3 Fast, 5 Normal, 7 Good, 9 Best: as the file holds it, also a value
  // outside 0 to 9 (a job packs such a level as Normal).
  std::int32_t zipLevel = kNormalZipLevel;
  std::string zipFileName;  // placed in the destination folder
  bool useDateFolder = false;
  // Check the backup once it is written. Off for a file that does not say (older files); the
  // editor starts a new profile with it on.
  bool verifyAfterBackup = false;
  // "Verify by reading back": copies on a server are downloaded and compared byte for byte instead
  // of trusting the server's SIZE and HASH answers. Off for a file that does not say.
  bool verifyByReadingBack = false;
  ScheduleRecord schedule;      // scheduled profiles only; ReadProfile resets it first
  bool hasSources = false;      // derived: any local or remote source
  bool hasDestination = false;  // derived: the destination's FILEURL is not empty
  // The editor's "Anonymous" box, handed on to a launch; never stored in the file.
  bool anonymousLogin = false;
};

// Where a run puts its files: the destination folder as the job gets it (date folder added, one
// trailing separator removed) and, for a compressing profile, the archive's full path.
struct RunTargets {
  std::string folder;
  std::string zipPath;
};

// The profile folder, <program folder>/Profile.
std::string ProfileFolder();

// <program folder>/Profile/<name>.pfl, unchecked (for names taken from existing files).
std::string ProfileFileOf(const std::string& name);

// Ok when `name` can be given to a new or renamed profile; otherwise InvalidArgument with the
// message saying why not. A name must stay inside the profile folder, hold no control character
// and have at most 200 bytes (room for the extension and a temporary name within the system's
// file-name limit).
Status ProfileNameProblem(const std::string& name);

// The looser check for a profile whose file is already there (put there by hand, by another
// program or by an older version): ok unless the name could not be a file directly in the profile
// folder (empty, "." or "..", or holding "/" or NUL). Such a profile is listed, run and stamped
// whatever else its name holds.
Status ExistingProfileNameProblem(const std::string& name);

// The one check of a profile's content before it runs, shared by the controller and the editor.
// Ok, or InvalidArgument with the message the editor shows, for the first problem in the order the
// editor checks: no source; no destination (an empty local folder, or no FTP host); an archive
// without a file name; a destination folder or archive path (with its date folder) over the
// platform's path limit; a local source path over that limit. The profile's name is not checked here: a profile runs
// unsaved and unnamed, and saving checks the name itself (ProfileNameProblem).
Status ProfileProblem(const Profile& profile);

// Sets profile.filePath to <program folder>/Profile/<name>.pfl, creating the profile folder first
// (one level; a failure there shows when the file is written). Returns true when that file exists.
// A name that ProfileNameProblem refuses leaves filePath empty and returns false.
bool ProfilePathFor(Profile& profile);

// Reads the profile file at `path` into `profile` (replacing all of it). Missing or misplaced
// elements leave their fields at the defaults; `now` seeds the schedule's defaults. Numbers are
// taken as stored (decimal; text that is not a number is 0), also outside the range the editor
// offers: their users guard against values they cannot use, and a rewrite keeps them.
// Fails when the file cannot be read: IoError with the path, errno and "Cannot read ...", or when
// it is not a profile (its text does not parse as XML, or its root is not PROFILE): Corrupt with the
// path and the reason. `profile` is then unchanged.
Status ReadProfile(const std::string& path, Profile& profile, std::time_t now);

// Writes profile.filePath: the schedule's LASTRUN is stamped and NEXTRUN computed at `now`. The
// file is written owner-only under a temporary name and renamed into place, so a failed write
// leaves the previous file as it was: IoError with the path, errno and "Cannot write ...".
Status WriteProfile(const Profile& profile, std::time_t now);

// The destination as the editor shows it: the local folder, or host and remote path, plus the
// date folder of `now` when useDateFolder is on.
std::string DestinationText(const Profile& profile, std::time_t now);

// The targets of a run of `profile` at `now` (its date folder is that day's). A destination,
// archive or local source path over the platform's path limit is InvalidArgument saying which and
// how long, and leaves `targets` unchanged.
Status RunTargetsOf(const Profile& profile, std::time_t now, RunTargets& targets);

}  // namespace tarnwick
