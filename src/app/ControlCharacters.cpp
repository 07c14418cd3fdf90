#include "app/ControlCharacters.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick {

namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// A message keeps its line feeds and its backslashes: it is read, not parsed back into bytes.
std::string Escape(std::string_view text, bool message) {
  const auto needsEscape = [message](char c) {
    return message ? IsControl(c) && c != '\n' : c == '\\' || IsControl(c);
  };
  if (std::none_of(text.begin(), text.end(), needsEscape)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (!needsEscape(c)) {
      out += c;
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      AppendEscapedByte(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

}  // namespace

bool HasControlCharacter(std::string_view text) { return std::any_of(text.begin(), text.end(), IsControl); }

std::string EscapeControlCharacters(std::string_view text) { return Escape(text, false); }

std::string EscapeControlCharactersInMessage(std::string_view text) { return Escape(text, true); }

void AppendEscapedByte(std::string& out, unsigned char byte) {
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

bool HasOverlongName(std::string_view path) {
  std::size_t run = 0;
  for (char c : path) {
    run = c == '/' ? 0 : run + 1;
    if (run > kMaxNameBytes) return true;
  }
  return false;
}

}  // namespace tarnwick
