#include "profiles/ProfileCatalogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/FormatTexts.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "formats/IniFile.h"
#include "profiles/ProfileXml.h"

namespace tarnwick {
namespace {

constexpr const char* kCatalogueFile = "profiles.ini";
constexpr const char* kCreateTimeKey = "CREATETIME";
constexpr const char* kLastRunKey = "LASTRUN";

std::string FormatListTime(std::time_t when) {
  const std::tm fields = LocalFields(when);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
  return text;
}

// The file's birth time where the file system keeps one, else its last change of content.
std::time_t FileCreationTime(const std::string& path) {
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) == 0) {
    if (info.stx_mask & STATX_BTIME) return static_cast<std::time_t>(info.stx_btime.tv_sec);
    return static_cast<std::time_t>(info.stx_mtime.tv_sec);
  }
  return 0;
}

// The section of a profile in "profiles.ini". A name that a section header cannot hold as it is
// (a line break would end the header, and other control bytes make the file unreadable to a
// person) has each control byte written as "/" and two upper-case hex digits. No file name holds
// a "/", so an escaped name can never be taken for another profile's plain one, and names written
// by older versions, which never held a control byte, keep their sections.
std::string SectionOf(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string section;
  section.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      section += c;
      continue;
    }
    section += '/';
    section += kHex[byte >> 4];
    section += kHex[byte & 0xF];
  }
  return section;
}

std::string OrPlaceholder(const std::string& text) { return text.empty() ? LoadString(IDS_EMPTY_TIME) : text; }

// The profile files of the folder, sorted by name: the folder's own order on this system is
// arbitrary and changes as files come and go.
std::vector<std::filesystem::path> ProfileFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::filesystem::path& path = it->path();
    std::error_code typeError;
    if (path.extension() == ".pfl" && it->is_regular_file(typeError)) files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// "..." and the last two parts of the path, as the one-row delete question shows it.
std::string ShortenedPath(const std::filesystem::path& path) {
  const std::string separator(1, kLocalPathSeparator);
  return "..." + separator + path.parent_path().filename().string() + separator + path.filename().string();
}

// Adds the failure `next` to those gathered in `all`: the first keeps its path and errno, and every
// text goes on a line of its own, so a front end shows them all at once.
void Gather(Status& all, const Status& next) {
  all = all.ok() ? next : Status::IoError(all.path(), all.sysError(), all.ToString() + "\n" + next.ToString());
}

// Renames without ever replacing an existing file.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: a hard link fails on an existing name just the same.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  if (::unlink(from.c_str()) != 0) {
    const int failure = errno;
    ::unlink(to.c_str());
    return failure;
  }
  return 0;
}

}  // namespace

const char* ListTitle(ProfileList list) {
  return LoadString(list == ProfileList::Quick ? IDS_LIST_QUICK : IDS_LIST_SCHEDULED);
}

std::vector<std::string> ListColumns(ProfileList list) {
  if (list == ProfileList::Quick) {
    return {LoadString(IDS_COLUMN_PROFILE_NAME), LoadString(IDS_COLUMN_CREATE_TIME),
            LoadString(IDS_COLUMN_LAST_RUN_TIME)};
  }
  return {LoadString(IDS_COLUMN_PROFILE_NAME), LoadString(IDS_COLUMN_CREATE_TIME), LoadString(IDS_COLUMN_NEXT_RUN_TIME),
          LoadString(IDS_COLUMN_LAST_RUN_TIME)};
}

std::vector<std::string> RowCells(ProfileList list, const ProfileRow& row) {
  if (list == ProfileList::Quick) return {row.name, row.createTime, row.lastRun};
  return {row.name, row.createTime, row.nextRun, row.lastRun};
}

Status CProfileCatalogue::LoadCatalogue() {
  quickRows_.clear();
  scheduledRows_.clear();
  scheduleTable_.clear();

  const std::filesystem::path folder = ProfileFolder();
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return {};

  const std::vector<std::filesystem::path> files = ProfileFiles(folder);
  std::vector<std::string> sections;
  sections.reserve(files.size());
  for (const std::filesystem::path& path : files) sections.push_back(SectionOf(path.stem().string()));
  const std::string iniPath = PathBesideProgram(kCatalogueFile).string();
  CIniFile ini;
  Status unreadable;
  // Only the sections of profiles that exist are kept: sections of deleted profiles stay in the
  // file for good, and a file of a million of them must not take memory by the million.
  // Unreadable: the times come from the files, and the user is told why.
  if (const IoResult opened = ini.LoadSections(iniPath, kCatalogueFileLimit, sections); !opened.ok()) {
    unreadable = FileStatus(iniPath, opened);
  }
  const std::time_t now = clock_.Now();
  // Sections that get their first CREATETIME from this load, and the time each gets.
  std::vector<std::pair<std::string, std::string>> newCreateTimes;

  for (const std::filesystem::path& path : files) {
    std::string text;
    if (Status read = ReadProfileText(path.string(), text); !read.ok()) {
      Gather(unreadable, read);
      continue;
    }
    CXmlDocument doc;
    if (!doc.LoadText(text) || !doc.FindElement("PROFILE")) continue;
    const std::string type = doc.GetAttribute("TYPE");
    const bool scheduled = type == "SCHEDULED";
    if ((!scheduled && type != "QUICKLANCH") || !doc.FindChildElement("NAME")) continue;

    ProfileRow row;
    row.name = path.stem().string();
    const std::string section = SectionOf(row.name);
    row.createTime = ini.GetValue(section, kCreateTimeKey);
    if (row.createTime.empty()) {
      row.createTime = FormatListTime(FileCreationTime(path.string()));
      newCreateTimes.emplace_back(section, row.createTime);
    }
    row.lastRun = OrPlaceholder(ini.GetValue(section, kLastRunKey));
    if (!scheduled) {
      quickRows_.push_back(std::move(row));
      continue;
    }

    ScheduleRecord record;
    ResetSchedule(record, now);
    record.profilePath = path.string();
    if (doc.FindChildElement("CONFIG") && doc.EnterChild()) ReadSchedulePart(doc, record);
    // FormatNextRun recomputes validity; the table keeps what the file stored.
    ScheduleRecord shown = record;
    row.nextRun = record.enabled ? FormatNextRun(shown, true, now) : LoadString(IDS_EMPTY_TIME);
    scheduledRows_.push_back(std::move(row));
    scheduleTable_.push_back(std::move(record));
  }
  if (!newCreateTimes.empty()) {
    // One save for all the new create times, rather than a rewrite of the whole file per profile,
    // made on the file as it is now under its lock: another process may have stamped a run since
    // it was read above. A failure loses nothing: the times are taken from the files again next time.
    CIniFile current;
    (void)current.LoadForUpdate(iniPath, kCatalogueFileLimit);  // not loaded: no path, so Save writes nothing
    for (const auto& [section, createTime] : newCreateTimes) {
      // A process that loaded at the same time may have been first; its time stays.
      if (current.GetValue(section, kCreateTimeKey).empty()) current.SetValue(section, kCreateTimeKey, createTime);
    }
    (void)current.Save();
  }
  return unreadable;
}

std::optional<unsigned> CProfileCatalogue::OverwriteQuestion(const std::string& name, bool scheduledMode) const {
  const auto listed = [&name](const std::vector<ProfileRow>& rows) {
    return std::any_of(rows.begin(), rows.end(), [&name](const ProfileRow& row) { return row.name == name; });
  };
  // Saving a profile of the other kind over it changes its kind: the question must say so.
  if (!scheduledMode && listed(scheduledRows_)) return IDS_PROFILE_OVERWRITE_SCHEDULED;
  if (scheduledMode && listed(quickRows_)) return IDS_PROFILE_OVERWRITE_QUICK;
  // The scheduled editor saves the profile it edits without asking.
  if (scheduledMode) return std::nullopt;
  return IDS_PROFILE_EXISTS_OVERWRITE;
}

Status CProfileCatalogue::SaveProfileAs(Profile& profile, bool scheduledMode) {
  if (Status problem = ProfileNameProblem(profile.name); !problem.ok()) return problem;
  if (!ProfilePathFor(profile)) {
    ProfileRow row{profile.name, LoadString(IDS_EMPTY_TIME), LoadString(IDS_EMPTY_TIME), LoadString(IDS_EMPTY_TIME)};
    MutableRows(scheduledMode ? ProfileList::Scheduled : ProfileList::Quick).push_back(std::move(row));
  } else if (const std::optional<unsigned> question = OverwriteQuestion(profile.name, scheduledMode);
             question && prompts_.AskYesNo(FormatString(*question, profile.name.c_str())) != UserPrompts::Answer::Yes) {
    return Status::Stopped();
  }
  return WriteProfile(profile, clock_.Now());
}

Status CProfileCatalogue::SaveProfile(Profile& profile) {
  if (Status problem = ProfileNameProblem(profile.name); !problem.ok()) return problem;
  ProfilePathFor(profile);
  Status saved = WriteProfile(profile, clock_.Now());
  (void)LoadCatalogue();  // the rows follow the save; reading problems are for an explicit load to report
  return saved;
}

Status CProfileCatalogue::StampLastRun(const std::string& name) {
  // An empty name would land as a key without a section header, inside another profile's section,
  // and one with a "/" could pass for the escaped section of another name.
  if (Status problem = ExistingProfileNameProblem(name); !problem.ok()) return problem;
  const std::string path = PathBesideProgram(kCatalogueFile).string();
  // Read, changed and written under the file's lock, so parallel runs keep each other's stamps.
  CIniFile ini;
  if (const IoResult opened = ini.LoadForUpdate(path, kCatalogueFileLimit); !opened.ok()) {
    return FileStatus(path, opened);
  }
  ini.SetValue(SectionOf(name), kLastRunKey, FormatListTime(clock_.Now()));
  if (const IoResult saved = ini.Save(); !saved.ok()) return Status::IoError(path, saved.sysError);
  return {};
}

Status CProfileCatalogue::DeleteSelectedProfiles(ProfileList list, const std::vector<std::size_t>& selectedRows) {
  const std::vector<ProfileRow>& rows = Rows(list);
  std::vector<std::size_t> indexes(selectedRows);
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  std::vector<std::filesystem::path> paths;
  for (std::size_t index : indexes) {
    if (index < rows.size()) paths.emplace_back(ProfileFileOf(rows[index].name));
  }
  if (paths.empty()) return {};

  const std::string question = paths.size() == 1
                                   ? FormatString(IDS_CONFIRM_DELETE_ONE, ShortenedPath(paths.front()).c_str())
                                   : LoadString(IDS_CONFIRM_DELETE_MANY);
  if (prompts_.AskYesNo(question, true) != UserPrompts::Answer::Yes) return Status::Stopped();

  Status failed;
  for (const std::filesystem::path& path : paths) {
    if (::unlink(path.c_str()) == 0) continue;
    const int error = errno;
    Gather(failed, Status::IoError(path.string(), error, FormatString(IDS_DELETE_FAILED, path.c_str(), error)));
  }
  (void)LoadCatalogue();  // as in SaveProfile
  return failed;
}

Status CProfileCatalogue::RenameSelectedProfile(ProfileList list, const std::vector<std::size_t>& selectedRows,
                                                const AskName& askName) {
  std::vector<ProfileRow>& rows = MutableRows(list);
  std::optional<std::size_t> first;
  for (std::size_t index : selectedRows) {
    if (index < rows.size() && (!first || index < *first)) first = index;
  }
  if (!first) return Status::Stopped();
  ProfileRow& row = rows[*first];

  const std::optional<std::string> newName = askName(row.name);
  if (!newName || *newName == row.name) return Status::Stopped();
  // The new name becomes a file name: it must stay inside the profile folder.
  if (Status problem = ProfileNameProblem(*newName); !problem.ok()) return problem;
  const std::string oldPath = ProfileFileOf(row.name);
  if (const int error = RenameNoReplace(oldPath, ProfileFileOf(*newName)); error != 0) {
    return Status::IoError(oldPath, error, FormatString(IDS_RENAME_FAILED, row.name.c_str()));
  }
  row.name = *newName;
  // The monitor reads the file of a scheduled row through its table entry: it must follow the
  // rename, or a run due before the next reload would look for the old file and be lost.
  if (list == ProfileList::Scheduled && *first < scheduleTable_.size()) {
    scheduleTable_[*first].profilePath = ProfileFileOf(*newName);
  }
  return {};
}

}  // namespace tarnwick
