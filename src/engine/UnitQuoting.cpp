#include "engine/UnitQuoting.h"

#include <cstdio>

#include "app/Utf8Text.h"

namespace tarnwick {

namespace {

std::string Named(const char* name, unsigned char byte) {
  char text[64];
  std::snprintf(text, sizeof text, "%s (0x%02X)", name, byte);
  return text;
}

std::string ControlName(unsigned char byte) {
  switch (byte) {
    case '\t': return Named("a tab", byte);
    case '\n': return Named("a line feed", byte);
    case '\r': return Named("a carriage return", byte);
    case 0x1B: return Named("an escape character", byte);
    case 0x7F: return Named("a delete character", byte);
    default: return Named("a control character", byte);
  }
}

}  // namespace

std::string UnitPathProblem(std::string_view path, UnitPathUse use) {
  if (path.empty() || path.front() != '/') return "no absolute path";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return ControlName(byte);
  }
  if (const std::size_t at = FindInvalidUtf8(path); at != std::string_view::npos) {
    return Named("a byte that is not UTF-8", static_cast<unsigned char>(path[at]));
  }
  // systemd strips blanks at the end of a value: the service would start in another folder.
  if (path.back() == ' ') return Named("a blank at its end", ' ');
  if (use == UnitPathUse::WorkingDirectory) {
    // A backslash that ends a line joins the next line of the unit to this value.
    if (path.back() == '\\') return Named("a backslash at its end", '\\');
    return {};
  }
  // systemd refuses quotes and backslashes in the name of the program it starts, however quoted.
  // "$" it takes as it stands in the program but as a variable in the program's argv[0], from
  // which the program finds its folder: no spelling gives both the same path.
  for (const char c : path) {
    switch (c) {
      case '"': return Named("a double quote", '"');
      case '\'': return Named("a single quote", '\'');
      case '\\': return Named("a backslash", '\\');
      case '$': return Named("a dollar sign", '$');
      default: break;
    }
  }
  return {};
}

std::string UnitCommandPath(std::string_view path) {
  std::string out = "\"";
  for (const char c : path) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  return out + "\"";
}

std::string UnitDirectoryValue(std::string_view path) {
  std::string out;
  for (const char c : path) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

}  // namespace tarnwick
