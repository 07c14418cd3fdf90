// The catalogue of saved profiles: the profile files in the Profile folder beside the program and
// "profiles.ini" beside it, which remembers when each profile was created and last run. It loads
// both profile lists (as plain rows that any front end can show) and the schedule monitor's
// table, and saves, deletes, renames and stamps profiles.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Clock.h"
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
  enum class SaveResult {
    Saved,
    WriteFailed,  // the file-error message was shown; the caller goes on as if saved
    Declined,     // the user kept the existing profile: nothing written, nothing to run
    BadName,      // the name was refused with a message: nothing written
  };

  // Asks a new name for `currentName`; nullopt when the user cancels.
  using AskName = std::function<std::optional<std::string>(const std::string& currentName)>;

  CProfileCatalogue(UserPrompts& prompts, const Clock& clock) : prompts_(prompts), clock_(clock) {}

  // Empties both lists and the schedule table and fills them from disk, in file-name order. A
  // profile seen for the first time gets its file's creation time as CREATETIME.
  void LoadCatalogue();

  const std::vector<ProfileRow>& Rows(ProfileList list) const {
    return list == ProfileList::Quick ? quickRows_ : scheduledRows_;
  }
  // One entry per row of the scheduled list, in the same order.
  const std::vector<ScheduleRecord>& ScheduleTable() const { return scheduleTable_; }

  // The save of the editor's run-or-save confirmation: in quick mode an existing profile is
  // overwritten only when the user says so. The caller reloads the catalogue afterwards.
  SaveResult SaveProfileAs(Profile& profile, bool scheduledMode);

  // The editor's "Save Profile" button: saves without asking, says so and reloads the catalogue.
  // False when nothing was saved (the reason was shown).
  bool SaveProfile(Profile& profile);

  // Sets LASTRUN of `name` in "profiles.ini" to now. A name that cannot be a profile's is ignored.
  void StampLastRun(const std::string& name);

  // Deletes the profile files of the selected rows (indexes into the list) after asking; reloads.
  void DeleteSelectedProfiles(ProfileList list, const std::vector<std::size_t>& selectedRows);

  // Renames the profile of the first selected row to the name `askName` gives. Never replaces
  // another profile. True when the file was renamed.
  bool RenameSelectedProfile(ProfileList list, const std::vector<std::size_t>& selectedRows, const AskName& askName);

 private:
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
