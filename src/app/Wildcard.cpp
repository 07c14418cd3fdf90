#include "app/Wildcard.h"

#include <cctype>

namespace tarnwick {
namespace {

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Iterative glob match with one backtrack point: linear in practice, never exponential.
bool Glob(std::string_view mask, std::string_view name) {
  size_t m = 0, n = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && SameLetter(mask[m], name[n])))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchesWildcard(std::string_view mask, std::string_view name) {
  if (Glob(mask, name)) return true;
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*") {
    return Glob(mask.substr(0, mask.size() - 2), name);
  }
  // "*." asks for names without an extension.
  if (mask.size() >= 2 && mask.back() == '.' && mask[mask.size() - 2] != '.') {
    return name.find('.') == std::string_view::npos && Glob(mask.substr(0, mask.size() - 1), name);
  }
  return false;
}

}  // namespace tarnwick
