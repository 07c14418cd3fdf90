// File-name masks as users type them: "*" any run of characters, "?" one character, matched without
// regard to letter case. As in the usual desktop file search, a mask ending in ".*" also matches the
// name without an extension, so "*.*" matches every name, also names without a dot; a mask ending
// in a single "." ("*.", "read*.") matches only names without a dot.
#pragma once

#include <string_view>

namespace tarnwick {

bool MatchesWildcard(std::string_view mask, std::string_view name);

}  // namespace tarnwick
