#include "ftp/IniHistoryStore.h"

#include "app/FormatTexts.h"
#include "ftp/IniValue.h"

namespace tarnwick {

IniHistoryStore::IniHistoryStore(const std::string& path) : path_(path) {
  if (const IoResult opened = ini_.Load(path, kAccountFileLimit, false); !opened.ok())
    openStatus_ = FileStatus(path, opened);
}

std::optional<std::string> IniHistoryStore::GetString(const std::string& section, const std::string& key) {
  std::string value = ini_.GetValue(section, key);
  if (value.empty()) return std::nullopt;
  return value;
}

Status IniHistoryStore::SetString(const std::string& section, const std::string& key, const std::string& value) {
  if (!IsUsableIniSection(section)) return {};  // such a list is never kept
  return Update([&] { SetExactIniValue(ini_, section, key, value); });
}

Status IniHistoryStore::RemoveKey(const std::string& section, const std::string& key) {
  return Update([&] {
    // The file class keeps keys once written; an empty value reads back as absent.
    if (!ini_.GetValue(section, key).empty()) ini_.SetValue(section, key, "");
  });
}

Status IniHistoryStore::Update(const std::function<void()>& change) {
  if (!openStatus_.ok()) return openStatus_;
  // Read again under the file's lock: another process may have changed it since it was read, and
  // writing back what this one held would undo that.
  ini_.Clear();
  if (const IoResult opened = ini_.LoadForUpdate(path_, kAccountFileLimit); !opened.ok()) {
    return FileStatus(path_, opened);
  }
  change();
  const IoResult saved = ini_.Save();
  ini_.ReleaseLock();
  return saved.ok() ? Status() : Status::IoError(path_, saved.sysError);
}

}  // namespace tarnwick
