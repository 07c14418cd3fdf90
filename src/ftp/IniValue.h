// Writing values into the INI files of this folder so that they read back exactly.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

class CIniFile;

// Sets `key` of `section` to `value` so that GetValue returns `value` again:
// - a value holding ';' or ending in whitespace gets one ';' appended, which the reader cuts off
//   as the comment mark (files without such values stay byte for byte as before);
// - a line break and what follows are dropped, so a value cannot inject lines;
// - a change of letter case alone is still written (the file class would not rewrite for it).
void SetExactIniValue(CIniFile& ini, std::string_view section, std::string_view key, std::string_view value);

// Whether `name` can head a section: an empty name writes no header and a line break splits it,
// and either way its keys would be read back into the section before it.
bool IsUsableIniSection(std::string_view name);

}  // namespace tarnwick
