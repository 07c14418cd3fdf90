#include "app/ControlCharacters.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick {

namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

}  // namespace

bool HasControlCharacter(std::string_view text) { return std::any_of(text.begin(), text.end(), IsControl); }

std::string EscapeControlCharacters(std::string_view text) {
  if (!HasControlCharacter(text) && text.find('\\') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (IsControl(c)) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace tarnwick
