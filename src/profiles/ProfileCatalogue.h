// The catalogue of saved profiles: the profile files in the Profile folder beside the program and
// "profiles.ini" beside it, which remembers when each profile was created and last run. It loads
// both profile lists (as plain rows that any front end can show) and the schedule monitor's
// table, and saves, deletes, renames and stamps profiles.
//
// Every operation that reads or changes files answers with a Status for its caller to show
// (status.ToString(): the string table's text, naming the file): the catalogue shows no message
// itself. It only puts its questions (overwrite? delete?) through UserPrompts; a No there ends the
// operation with Stopped and changes nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/Status.h"
#include "app/UserPrompts.h"
#include "profiles/Profile.h"
#include "schedule/ScheduleRecord.h"

namespace tarnwick {

enum class ProfileList { Quick, Scheduled };

// One row of a profile list. Empty times hold the placeholder "- - : - - : - -".
struct ProfileRow {
  std::string name;
  std::string createTime;
  std::string nextRun;  // scheduled list only
  std::string lastRun;
};

// The caption of a list, its column headings and a row's cells in column order, as every front
// end shows them.
const char* ListTitle(ProfileList list);
std::vector<std::string> ListColumns(ProfileList list);
std::vector<std::string> RowCells(ProfileList list, const ProfileRow& row);

class CProfileCatalogue {
 public:
  // Asks a new name for `currentName`; nullopt when the user cancels.
  using AskName = std::function<std::optional<std::string>(const std::string& currentName)>;

  CProfileCatalogue(UserPrompts& prompts, const Clock& clock) : prompts_(prompts), clock_(clock) {}

  // Empties both lists and the schedule table and fills them from disk, in file-name order. A
  // profile seen for the first time gets its file's creation time as CREATETIME (stored under the
  // lock of "profiles.ini"; a name a section header cannot hold is stored escaped). A profile file
  // that cannot be read is left out and reported: IoError with its path and errno and its
  // "Cannot read ..." text (with several, the first one's path and errno and every text, one per
  // line). A missing profile folder is an empty catalogue and a missing "profiles.ini" an empty
  // one. A "profiles.ini" that is there but cannot be read (or is not a regular file, or is over
  // its size limit, formats/FileIo.h) is reported the same way, first; the times then come from
  // the files.
  Status LoadCatalogue();

  const std::vector<ProfileRow>& Rows(ProfileList list) const {
    return list == ProfileList::Quick ? quickRows_ : scheduledRows_;
  }
  // One entry per row of the scheduled list, in the same order.
  const std::vector<ScheduleRecord>& ScheduleTable() const { return scheduleTable_; }

  // The save of the editor's run-or-save confirmation: in quick mode an existing profile is
  // overwritten only when the user says so, and a profile of the other kind (a scheduled one in
  // quick mode, a quick one in scheduled mode) only after a question that says its kind changes
  // (a scheduled profile saved as quick loses its schedule). Ok when saved; InvalidArgument for a name that
  // ProfileNameProblem refuses and Stopped when the user kept the existing profile (nothing
  // written, nothing to run); IoError when the write failed (the editor shows it and goes on as if
  // saved). The caller reloads the catalogue afterwards.
  Status SaveProfileAs(Profile& profile, bool scheduledMode);

  // The editor's "Save Profile" button: saves without asking and reloads the catalogue. Ok (the
  // caller says "Profile saved ok!"), InvalidArgument for a refused name, IoError for a failed
  // write.
  Status SaveProfile(Profile& profile);

  // Sets LASTRUN of `name` in "profiles.ini" to now, reading and writing the file under its lock so
  // that parallel processes keep each other's stamps. Any name an existing profile file can have
  // is stamped (ExistingProfileNameProblem). InvalidArgument for a name that cannot be a profile's
  // (nothing written); IoError when "profiles.ini" cannot be opened or written.
  Status StampLastRun(const std::string& name);

  // Deletes the profile files of the selected rows (indexes into the list) after asking, and
  // reloads. Ok when every file went (also when no row was selected); Stopped when the user said
  // No; IoError when a file could not be deleted: the others are still deleted, and the result
  // holds the first failure's path and errno and the text "Delete ... failed." of each, one per line.
  Status DeleteSelectedProfiles(ProfileList list, const std::vector<std::size_t>& selectedRows);

  // Renames the profile of the first selected row to the name `askName` gives. Never replaces
  // another profile. Ok when the file was renamed; Stopped when no row was selected, the user
  // cancelled or kept the name; InvalidArgument for a refused name; IoError with the text
  // "Rename profile ... failed." when the file could not be renamed (the name is taken, say).
  Status RenameSelectedProfile(ProfileList list, const std::vector<std::size_t>& selectedRows, const AskName& askName);

 private:
  // The question to ask before `name`, which exists, is overwritten; nullopt: none.
  std::optional<unsigned> OverwriteQuestion(const std::string& name, bool scheduledMode) const;
  std::vector<ProfileRow>& MutableRows(ProfileList list) {
    return list == ProfileList::Quick ? quickRows_ : scheduledRows_;
  }

  UserPrompts& prompts_;
  const Clock& clock_;
  std::vector<ProfileRow> quickRows_;
  std::vector<ProfileRow> scheduledRows_;
  std::vector<ScheduleRecord> scheduleTable_;
};

}  // namespace tarnwick
