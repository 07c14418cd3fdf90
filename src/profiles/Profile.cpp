#include "profiles/Profile.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "app/ControlCharacters.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"

namespace tarnwick {
namespace {

constexpr const char* kProfileExtension = ".pfl";
// Leaves room within the system's file-name limit for the extension and the temporary name the
// file is written under.
constexpr int kMaxProfileNameLength = 200;

bool EndsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

void AppendWithSeparator(std::string& text, char separator, const std::string& tail) {
  if (!EndsWith(text, separator)) text += separator;
  text += tail;
}

// A date folder's name has this length whatever the date (years 1000 to 9999): the length checks
// that need no run time use it.
constexpr const char* kAnyDateFolder = "YYYY-MM-DD";

std::string DateFolderName(std::time_t now) {
  const std::tm fields = LocalFields(now);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &fields);
  return buffer;
}

// A path that the system cannot take: PATH_MAX counts the terminating zero.
bool OverPathLimit(const std::string& path) { return path.size() >= static_cast<std::size_t>(PATH_MAX); }

std::string DestinationWithDate(const Profile& profile, const std::string& dateFolder) {
  std::string text;
  char separator = kLocalPathSeparator;
  if (profile.destIsLocal) {
    text = profile.localDestFolder;
  } else {
    separator = '/';
    text = profile.ftpDest.host;
    const std::string& remote = profile.ftpDest.remotePath;
    if (!remote.empty() && remote.front() != '/') text += '/';
    text += remote;
  }
  if (profile.useDateFolder) AppendWithSeparator(text, separator, dateFolder);
  return text;
}

RunTargets TargetsOf(const Profile& profile, const std::string& dateFolder) {
  RunTargets targets;
  const char separator = profile.destIsLocal ? kLocalPathSeparator : '/';
  targets.folder = profile.destIsLocal ? profile.localDestFolder : profile.ftpDest.remotePath;
  if (profile.useDateFolder) AppendWithSeparator(targets.folder, separator, dateFolder);
  if (EndsWith(targets.folder, separator)) targets.folder.pop_back();
  if (profile.compress) {
    targets.zipPath = DestinationWithDate(profile, dateFolder);
    AppendWithSeparator(targets.zipPath, separator, profile.zipFileName);
  }
  return targets;
}

// The first local source whose path the system cannot take. A message that names a path of
// thousands of bytes helps nobody: it shows the path's beginning, enough to recognise it.
Status SourceProblem(const Profile& profile) {
  constexpr std::size_t kShownBytes = 64;
  for (const SourceItem& item : profile.localSources) {
    if (!OverPathLimit(item.path)) continue;
    std::size_t cut = kShownBytes;
    while (cut > 0 && (static_cast<unsigned char>(item.path[cut]) & 0xC0) == 0x80) --cut;
    const std::string shown = EscapeControlCharacters(std::string_view(item.path).substr(0, cut)) + "...";
    return Status::InvalidArgument(
        FormatString(IDS_SOURCE_PATH_TOO_LONG, shown.c_str(), item.path.size(), PATH_MAX - 1));
  }
  return {};
}

Status TargetProblem(const RunTargets& targets) {
  if (OverPathLimit(targets.folder)) {
    return Status::InvalidArgument(FormatString(IDS_DESTINATION_TOO_LONG, targets.folder.size(), PATH_MAX - 1));
  }
  if (OverPathLimit(targets.zipPath)) {
    return Status::InvalidArgument(FormatString(IDS_ARCHIVE_PATH_TOO_LONG, targets.zipPath.size(), PATH_MAX - 1));
  }
  return {};
}

}  // namespace

std::string ProfileFolder() { return PathBesideProgram("Profile").string(); }

std::string ProfileFileOf(const std::string& name) {
  return (std::filesystem::path(ProfileFolder()) / (name + kProfileExtension)).string();
}

Status ProfileNameProblem(const std::string& name) {
  if (name.empty()) return Status::InvalidArgument(LoadString(IDS_ENTER_PROFILE_NAME));
  bool bad = name == "." || name == "..";
  for (unsigned char c : name) {
    // Control characters would also break the name's section header in "profiles.ini".
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) bad = true;
  }
  if (bad) return Status::InvalidArgument(FormatString(IDS_BAD_PROFILE_NAME, name.c_str()));
  if (name.size() > static_cast<std::size_t>(kMaxProfileNameLength)) {
    return Status::InvalidArgument(FormatString(IDS_PROFILE_NAME_TOO_LONG, name.c_str(), kMaxProfileNameLength));
  }
  return {};
}

Status ExistingProfileNameProblem(const std::string& name) {
  const bool outside = name.empty() || name == "." || name == ".." ||
                       name.find_first_of(std::string_view("/\0", 2)) != std::string::npos;
  if (outside) return Status::InvalidArgument(FormatString(IDS_BAD_PROFILE_NAME, name.c_str()));
  return {};
}

Status ProfileProblem(const Profile& profile) {
  if (profile.localSources.empty() && profile.remoteSources.empty()) {
    return Status::InvalidArgument(LoadString(IDS_SPECIFY_SOURCE));
  }
  // An empty local folder would have every target joined onto the root of the file system.
  if (profile.destIsLocal ? profile.localDestFolder.empty() : profile.ftpDest.host.empty()) {
    return Status::InvalidArgument(LoadString(IDS_SPECIFY_DESTINATION));
  }
  if (profile.compress && profile.zipFileName.empty()) {
    return Status::InvalidArgument(LoadString(IDS_ENTER_COMPRESSION_FILENAME));
  }
  if (Status problem = TargetProblem(TargetsOf(profile, kAnyDateFolder)); !problem.ok()) return problem;
  return SourceProblem(profile);
}

bool ProfilePathFor(Profile& profile) {
  profile.filePath.clear();
  if (!ProfileNameProblem(profile.name).ok()) return false;
  const std::filesystem::path folder = ProfileFolder();
  std::error_code ignored;
  std::filesystem::create_directory(folder, ignored);
  profile.filePath = ProfileFileOf(profile.name);
  return std::filesystem::is_regular_file(profile.filePath, ignored);
}

std::string DestinationText(const Profile& profile, std::time_t now) {
  return DestinationWithDate(profile, DateFolderName(now));
}

Status RunTargetsOf(const Profile& profile, std::time_t now, RunTargets& targets) {
  RunTargets made = TargetsOf(profile, DateFolderName(now));
  if (Status problem = TargetProblem(made); !problem.ok()) return problem;
  if (Status problem = SourceProblem(profile); !problem.ok()) return problem;
  targets = std::move(made);
  return {};
}

}  // namespace tarnwick
