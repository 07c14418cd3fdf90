#include "ftp/IniValue.h"

#include "formats/IniFile.h"

namespace tarnwick {

void SetExactIniValue(CIniFile& ini, std::string_view section, std::string_view key, std::string_view value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  std::string stored(value);
  constexpr std::string_view kWhitespace = " \t\v\f";
  if (value.find(';') != std::string_view::npos ||
      (!value.empty() && kWhitespace.find(value.back()) != std::string_view::npos)) {
    stored += ';';
  }
  if (ini.GetValue(section, key) == value) {
    ini.SetValue(section, key, stored);  // already equal: at most the comment mark is added
    return;
  }
  // Pass through a different text first so a change of letter case alone marks the file changed.
  ini.SetValue(section, key, stored.empty() ? ";" : "");
  ini.SetValue(section, key, stored);
}

bool IsUsableIniSection(std::string_view name) {
  return !name.empty() && name.find_first_of("\r\n") == std::string_view::npos;
}

}  // namespace tarnwick
