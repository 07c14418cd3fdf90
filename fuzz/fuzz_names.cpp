// The checks that keep names from outside in their place: a server's listed name, an archive entry
// name, a temporary file's name and the escaping of control bytes for a terminal. Each decision is
// checked against what it promises, worked out here a second way.
//
// In the input, "@" stands for this machine's mark in temporary names, so that the fuzzer can reach
// names that this machine could have written.
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ControlCharacters.h"
#include "engine/RemoteListing.h"
#include "formats/PartFile.h"
#include "zip/ZipEntryHeader.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// The parts of `text` between the separators, empty parts included.
std::vector<std::string> Split(const std::string& text, const std::string& separators) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (separators.find(c) != std::string::npos) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

void CheckRemoteName(const std::string& name) {
  const bool usable = tarnwick::IsUsableRemoteName(name);
  bool expected = !name.empty() && name != "." && name != "..";
  for (const char c : name) {
    if (c == '/' || c == '\0' || IsControl(static_cast<unsigned char>(c))) expected = false;
  }
  if (usable != expected) abort();
  // A usable name without a backslash is a usable archive entry below any folder: the zip job
  // never refuses what the listing took.
  if (usable && name.find('\\') == std::string::npos && !tarnwick::IsSafeEntryName("dir/" + name)) abort();
}

void CheckEntryName(const std::string& name) {
  const bool safe = tarnwick::IsSafeEntryName(name);
  bool expected = !name.empty() && name.front() != '/' && name.front() != '\\';
  // A reader may split at "/", at "\" or at both: no way of splitting may give a "..".
  for (const char* separators : {"/", "\\", "/\\"}) {
    for (const std::string& part : Split(name, separators)) {
      if (part == "..") expected = false;
    }
  }
  if (safe != expected) abort();
}

// The mark this machine puts into its temporary names (the 8 hex digits after the process id).
const std::string& MachineMark() {
  static const std::string mark = [] {
    const std::string name = tarnwick::TemporaryNameBeside("x");
    const std::vector<std::string> parts = Split(name, "-");
    if (parts.size() != 4 || parts[2].size() != 8) abort();
    return parts[2];
  }();
  return mark;
}

bool IsDecimal(const std::string& text) {
  if (text.empty() || (text.size() > 1 && text.front() == '0')) return false;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

void CheckTemporaryName(const std::string& name) {
  // Our own temporary names are never stale while we run.
  if (tarnwick::IsStaleTemporaryName(tarnwick::TemporaryNameBeside("folder/t").substr(7))) abort();
  if (!tarnwick::IsStaleTemporaryName(name)) return;
  // A stale name is exactly one this machine writes: ".tarnwick-<pid>-<mark>-<n>.part", with a
  // process id that a process can have and that is not ours. Anything else is not ours to remove.
  const std::string prefix = ".tarnwick-", suffix = ".part";
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    abort();
  }
  const std::vector<std::string> parts =
      Split(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()), "-");
  if (parts.size() != 3 || !IsDecimal(parts[0]) || parts[1] != MachineMark() || !IsDecimal(parts[2])) abort();
  if (parts[0].size() > 10 || std::stoll(parts[0]) > 0x7FFFFFFF || std::stoll(parts[0]) == ::getpid()) abort();
}

// Reverses EscapeControlCharacters: "\\" is a backslash, "\xNN" the byte NN.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      abort();  // a lone backslash: the escaping would be ambiguous
    }
  }
  return out;
}

void CheckEscaping(const std::string& text) {
  const std::string escaped = tarnwick::EscapeControlCharacters(text);
  for (const char c : escaped) {
    if (IsControl(static_cast<unsigned char>(c))) abort();
  }
  if (Unescape(escaped) != text) abort();
  const std::string message = tarnwick::EscapeControlCharactersInMessage(text);
  std::size_t lineFeeds = 0;
  for (const char c : message) {
    if (c == '\n') {
      ++lineFeeds;
    } else if (IsControl(static_cast<unsigned char>(c))) {
      abort();
    }
  }
  std::size_t inputLineFeeds = 0;
  for (const char c : text) inputLineFeeds += c == '\n';
  if (lineFeeds != inputLineFeeds) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  std::string name;
  for (const char c : raw) {
    if (c == '@') {
      name += MachineMark();
    } else {
      name += c;
    }
  }
  CheckRemoteName(raw);
  CheckEntryName(raw);
  CheckTemporaryName(name);
  CheckEscaping(raw);
  return 0;
}
