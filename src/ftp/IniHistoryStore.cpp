#include "ftp/IniHistoryStore.h"

#include "ftp/IniValue.h"

namespace tarnwick {

IniHistoryStore::IniHistoryStore(const std::string& path) : path_(path) {
  if (const IoResult opened = ini_.Load(path, false); !opened.ok())
    openStatus_ = Status::IoError(path, opened.sysError);
}

std::optional<std::string> IniHistoryStore::GetString(const std::string& section, const std::string& key) {
  std::string value = ini_.GetValue(section, key);
  if (value.empty()) return std::nullopt;
  return value;
}

Status IniHistoryStore::SetString(const std::string& section, const std::string& key, const std::string& value) {
  if (!IsUsableIniSection(section)) return {};  // such a list is never kept
  SetExactIniValue(ini_, section, key, value);
  return Save();
}

Status IniHistoryStore::RemoveKey(const std::string& section, const std::string& key) {
  // The file class keeps keys once written; an empty value reads back as absent.
  if (ini_.GetValue(section, key).empty()) return {};
  ini_.SetValue(section, key, "");
  return Save();
}

Status IniHistoryStore::Save() {
  if (!openStatus_.ok()) return openStatus_;
  const IoResult saved = ini_.Save();
  return saved.ok() ? Status() : Status::IoError(path_, saved.sysError);
}

}  // namespace tarnwick
