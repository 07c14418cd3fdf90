// A small INI file held in memory: sections of key=value lines, read whole, looked up, changed and
// written back whole. Used for profiles.ini and the two FTP account files; callers give full paths
// (app/ProgramFolder.h knows where the program's files lie).
//
// Section and key names compare without regard to ASCII letter case; everything else is held
// exactly as read. Nothing here throws or shows a message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/FileIo.h"
#include "formats/FileLock.h"

namespace tarnwick {

class CIniFile {
 public:
  // The name of the unnamed leading section (keys before the first header).
  static constexpr const char* kLeadingSection = " ";

  CIniFile() = default;
  // Saves first when opened with saveOnClose, then clears.
  ~CIniFile();
  CIniFile(const CIniFile&) = delete;
  CIniFile& operator=(const CIniFile&) = delete;

  // Reads the file under the reading rule (formats/FileIo.h, OpenStoredFile: never blocks, takes
  // only a regular file of at most `limit` bytes). A missing file reads as empty and is not
  // created: only Save writes it, readable and writable by its owner only (the account files hold
  // passwords). Fails, and the object then holds no file, when the file cannot be opened for
  // reading or is refused by the rule, when it is missing from a folder that is missing too, and
  // on a read error after the open (a part of the file is never taken for all of it: a Save would
  // lose the rest). A file loaded before is saved and cleared first.
  IoResult Load(const std::string& path, std::uint64_t limit, bool saveOnClose);

  // Load for a read-modify-write: takes the lock beside the file first (formats/FileLock.h) and
  // holds it until Clear, ReleaseLock or the end of this object, so another process's change made
  // between this load and the Save is not lost. Without the lock (it could not be made or was held
  // too long) it loads all the same.
  IoResult LoadForUpdate(const std::string& path, std::uint64_t limit);
  // Lets go of the lock of LoadForUpdate; the contents stay.
  void ReleaseLock() { lock_.reset(); }

  // Parses `text` as if it had been read from a file, with no path (Save then writes nothing).
  void LoadFromText(std::string_view text);

  // Reads the file a piece at a time and keeps only the sections named in `sections` (letter case
  // aside; the unnamed leading section only when kLeadingSection is named), so a reader that needs
  // a few sections of a huge file holds only those. Opens by the stored-file rule with `limit`; a
  // missing file in an existing folder reads as empty and is not made; fails when the file cannot be
  // opened, is refused or fails while read (nothing is kept then). A line longer than 1 MiB is
  // dropped. No path is kept: Save writes nothing.
  IoResult LoadSections(const std::string& path, std::uint64_t limit, const std::vector<std::string>& sections);

  // The value of `key` in `section` (the last of equal keys; cut at its last ';'), or the default.
  std::string GetValue(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;

  // Adds or replaces; a new section goes after all others.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);

  // Rewrites the file when modified (nothing to do is a success). On failure the old file stays
  // whole, since the new text is written beside it and renamed over it.
  IoResult Save();

  // Drops everything: no sections, no path, not modified, no lock.
  void Clear();

  bool IsModified() const { return modified_; }
  const std::string& Path() const { return path_; }
  int32_t LastSection() const { return static_cast<int32_t>(sections_.size()) - 1; }

  // The whole text Save writes (also when not modified).
  std::string ToText() const;

 private:
  struct Section {
    std::string name;
    std::vector<std::string> keys;
    std::vector<std::string> values;  // parallel to keys
  };

  // Before another file is read in: saves what is held (a failure leaves that file whole, as at
  // the end of this object) and clears.
  void SaveAndClear();
  void Parse(std::string_view text);
  // One line as read, line break included or not: a header starts a section, anything else is a
  // key of the last one. `keep` says whether a header's section is kept; lines of a section not
  // kept are dropped.
  template <typename Keep>
  void AddLine(std::string_view line, const Keep& keep);
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;

  std::vector<Section> sections_;
  std::string path_;
  bool saveOnClose_ = false;
  bool modified_ = false;
  bool keeping_ = true;  // while parsing: the lines go to the last section
  std::optional<CFileLock> lock_;
};

}  // namespace tarnwick
