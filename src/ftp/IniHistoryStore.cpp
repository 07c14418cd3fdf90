#include "ftp/IniHistoryStore.h"

#include "ftp/IniValue.h"

namespace tarnwick {

IniHistoryStore::IniHistoryStore(const std::string& path) { open_ = ini_.Load(path, false).ok(); }

std::optional<std::string> IniHistoryStore::GetString(const std::string& section, const std::string& key) {
  std::string value = ini_.GetValue(section, key);
  if (value.empty()) return std::nullopt;
  return value;
}

void IniHistoryStore::SetString(const std::string& section, const std::string& key, const std::string& value) {
  if (!IsUsableIniSection(section)) return;
  SetExactIniValue(ini_, section, key, value);
  ini_.Save();
}

void IniHistoryStore::RemoveKey(const std::string& section, const std::string& key) {
  // The file class keeps keys once written; an empty value reads back as absent.
  if (ini_.GetValue(section, key).empty()) return;
  ini_.SetValue(section, key, "");
  ini_.Save();
}

}  // namespace tarnwick
