// The logic of a history combo box: the last entries typed into a field, most recent first, kept
// in a HistoryStore section. Holds the list, its selection and the edit text; the desktop program
// mirrors them in its widget.
#pragma once

#include <string>
#include <vector>

#include "app/Status.h"

namespace tarnwick {

class HistoryStore;

// The sections of the program's three history lists and their common key prefix.
inline constexpr const char* kHistoryLocalDirSection = "BackupLocalDir";
inline constexpr const char* kHistoryFtpAddrSection = "BackupFtpAddr";
inline constexpr const char* kHistorySrcHostSection = "BackupSrcHost";
inline constexpr const char* kHistoryKeyPrefix = "HistoryItem";

class CHistoryList {
 public:
  static constexpr int kDefaultMaximum = 10;

  // `hasEditField` false models a drop-down list, whose text is always one of its entries.
  explicit CHistoryList(HistoryStore& store, bool hasEditField = true);

  // Reads "<prefix>0", "<prefix>1", ... up to the first empty value or the maximum, replacing the
  // entries held. With `rememberLast`, reads the last-value key (`lastKey`; empty means the prefix
  // itself, "Last" when that is empty too) and selects the entry equal to it (letter case
  // ignored), or else puts it into the edit field. Returns that last value (empty when not read).
  std::string Load(const std::string& section, const std::string& keyPrefix, bool rememberLast = true,
                   const std::string& lastKey = {});

  // Puts the trimmed text at the top, drops an equal entry further down (letter case ignored) and
  // entries beyond the maximum, and selects it. Without a section or prefix it only appends.
  void Add(const std::string& text);

  // Writes the entries as "<prefix>N", removes stale higher indexes, and with remember-last writes
  // the field's text under the last-value key. `addCurrent` first adds the field's trimmed text.
  // Ok, or the store's first failure (the list in memory is kept either way).
  Status Save(bool addCurrent);

  // Sets the maximum number of entries and drops those beyond it.
  void SetMaximum(int maximum);
  int Maximum() const { return maximum_; }

  const std::vector<std::string>& Entries() const { return entries_; }

  // The selected entry's index, -1 when none is.
  int Selection() const { return selection_; }
  // Selects an entry (its text goes into the edit field); -1 clears the selection.
  void Select(int index);
  // The field's text as typed; typing clears the selection.
  const std::string& EditText() const { return editText_; }
  void SetEditText(const std::string& text);
  // The selected entry's text, else the edit text: the host an account recall looks up.
  std::string CurrentText() const;

 private:
  std::string LastValueKey() const;

  HistoryStore& store_;
  bool hasEditField_;
  std::string section_;
  std::string keyPrefix_;
  std::string lastKey_;
  bool rememberLast_ = false;
  int maximum_ = kDefaultMaximum;
  std::vector<std::string> entries_;
  int selection_ = -1;
  std::string editText_;
};

}  // namespace tarnwick
