#include "profiles/Profile.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "app/ProgramFolder.h"
#include "app/StringTable.h"

namespace tarnwick {
namespace {

// Texts of this subsystem that the string table has no number for.
constexpr const char* kBadProfileNameText =
    "The profile name \"%s\" cannot be used.\nA profile name must not be \".\" or \"..\" and must "
    "not contain \"/\", \"\\\" or control characters.";
constexpr const char* kProfileNameTooLongText =
    "The profile name \"%s\" is too long.\nA profile name may have at most %d characters.";
constexpr const char* kDestinationTooLongText =
    "The backup cannot start: its destination folder has %zu characters, more than the %d the "
    "system allows.";
constexpr const char* kArchivePathTooLongText =
    "The backup cannot start: the path of its archive has %zu characters, more than the %d the "
    "system allows.";

constexpr const char* kProfileExtension = ".pfl";
// Leaves room within the system's file-name limit for the extension and the temporary name the
// file is written under.
constexpr int kMaxProfileNameLength = 200;

bool EndsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

void AppendWithSeparator(std::string& text, char separator, const std::string& tail) {
  if (!EndsWith(text, separator)) text += separator;
  text += tail;
}

std::string DateFolderName(std::time_t now) {
  const std::tm fields = LocalFields(now);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &fields);
  return buffer;
}

// A path that the system cannot take: PATH_MAX counts the terminating zero.
bool OverPathLimit(const std::string& path) { return path.size() >= static_cast<std::size_t>(PATH_MAX); }

}  // namespace

std::string ProfileFolder() { return PathBesideProgram("Profile").string(); }

std::string ProfileFileOf(const std::string& name) {
  return (std::filesystem::path(ProfileFolder()) / (name + kProfileExtension)).string();
}

std::string ProfileNameProblem(const std::string& name) {
  if (name.empty()) return LoadString(IDS_ENTER_PROFILE_NAME);
  bool bad = name == "." || name == "..";
  for (unsigned char c : name) {
    // Control characters would also break the name's section header in "profiles.ini".
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) bad = true;
  }
  if (bad) return FormatText(kBadProfileNameText, name.c_str());
  if (name.size() > static_cast<std::size_t>(kMaxProfileNameLength)) {
    return FormatText(kProfileNameTooLongText, name.c_str(), kMaxProfileNameLength);
  }
  return {};
}

bool ProfilePathFor(Profile& profile) {
  profile.filePath.clear();
  if (!ProfileNameProblem(profile.name).empty()) return false;
  const std::filesystem::path folder = ProfileFolder();
  std::error_code ignored;
  std::filesystem::create_directory(folder, ignored);
  profile.filePath = ProfileFileOf(profile.name);
  return std::filesystem::is_regular_file(profile.filePath, ignored);
}

std::string DestinationText(const Profile& profile, std::time_t now) {
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
  if (profile.useDateFolder) AppendWithSeparator(text, separator, DateFolderName(now));
  return text;
}

MakeJobResult MakeJob(const Profile& profile, BackupJob& job, std::time_t now) {
  MakeJobResult result;
  BackupJob made;
  made.localSources = profile.localSources;
  made.remoteSources = profile.remoteSources;
  made.destIsLocal = profile.destIsLocal;
  made.useDateFolder = profile.useDateFolder;
  made.anonymousLogin = profile.anonymousLogin;
  made.localDestFolder = profile.localDestFolder;
  made.ftpDest = profile.ftpDest;

  std::string& folder = profile.destIsLocal ? made.localDestFolder : made.ftpDest.remotePath;
  const char separator = profile.destIsLocal ? kLocalPathSeparator : '/';
  if (profile.useDateFolder) AppendWithSeparator(folder, separator, DateFolderName(now));
  if (EndsWith(folder, separator)) folder.pop_back();
  if (OverPathLimit(folder)) {
    result.error = FormatText(kDestinationTooLongText, folder.size(), PATH_MAX - 1);
    return result;
  }

  made.zipLevel = profile.zipLevel;
  if (profile.compress) {
    made.zipPath = DestinationText(profile, now);
    AppendWithSeparator(made.zipPath, separator, profile.zipFileName);
    if (OverPathLimit(made.zipPath)) {
      result.error = FormatText(kArchivePathTooLongText, made.zipPath.size(), PATH_MAX - 1);
      return result;
    }
  }

  job = std::move(made);
  result.ok = true;
  result.kind = profile.compress ? JobKind::Zip : JobKind::Copy;
  return result;
}

}  // namespace tarnwick
