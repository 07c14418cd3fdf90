// Texts made of names from outside for readers that parse them: a desktop notice (UTF-8, markup in
// its body) and a systemd unit (a path in ExecStart= and WorkingDirectory=). Each promise is
// checked on the result, the unit's quoting by undoing it here a second way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/Utf8Text.h"
#include "engine/RunNotifier.h"
#include "engine/UnitQuoting.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Well-formed UTF-8 worked out the other way round: decode each sequence by its lead byte, then
// refuse overlong forms, surrogates and values over U+10FFFF by the code point.
std::size_t FirstInvalidByDecoding(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || at + length > text.size()) return at;
    std::uint32_t point = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return at;
      point = (point << 6) | (next & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return at;
    at += length;
  }
  return std::string::npos;
}

void CheckReadable(const std::string& raw) {
  if (tarnwick::FindInvalidUtf8(raw) != FirstInvalidByDecoding(raw)) abort();
  for (const bool keepLineFeeds : {false, true}) {
    const std::string shown = tarnwick::ReadableUtf8(raw, keepLineFeeds);
    if (tarnwick::FindInvalidUtf8(shown) != std::string::npos) abort();
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const auto c = static_cast<unsigned char>(shown[i]);
      if (IsControl(c) && !(keepLineFeeds && c == '\n')) abort();
      if (c == 0xC2 && i + 1 < shown.size() && static_cast<unsigned char>(shown[i + 1]) <= 0x9F) abort();
    }
    // Clean text is left as it is: valid UTF-8 without control bytes and without C1 controls (in
    // valid UTF-8 a 0xC2 always leads, so C2 80..C2 9F is exactly a C1 control).
    bool plain = tarnwick::FindInvalidUtf8(raw) == std::string::npos;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const auto c = static_cast<unsigned char>(raw[i]);
      plain = plain && (!IsControl(c) || (keepLineFeeds && c == '\n'));
      plain = plain && !(c == 0xC2 && i + 1 < raw.size() && static_cast<unsigned char>(raw[i + 1]) <= 0x9F);
    }
    if (plain && shown != raw) abort();
  }
}

void CheckNotice(const std::string& raw) {
  const std::string body = tarnwick::RunNotifier::BodyText(raw);
  if (body.find_first_of("<>") != std::string::npos) abort();
  for (std::size_t at = body.find('&'); at != std::string::npos; at = body.find('&', at + 1)) {
    if (body.compare(at, 5, "&amp;") != 0 && body.compare(at, 4, "&lt;") != 0 && body.compare(at, 4, "&gt;") != 0) {
      abort();
    }
  }
  if (tarnwick::RunNotifier::SummaryText(raw).find('\n') != std::string::npos) abort();
}

// Undoes "%%" (the only specifier written) and, for a command, the double quotes with their "\"
// escapes; false for anything the writer should never produce.
bool Unquote(const std::string& value, bool command, std::string& out) {
  std::string resolved;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && (i + 1 >= value.size() || value[++i] != '%')) return false;
    resolved += value[i];
  }
  if (!command) {
    out = resolved;
    return true;
  }
  if (resolved.size() < 2 || resolved.front() != '"' || resolved.back() != '"') return false;
  for (std::size_t i = 1; i + 1 < resolved.size(); ++i) {
    if (resolved[i] == '"') return false;
    if (resolved[i] == '\\' && (++i + 1 >= resolved.size() || (resolved[i] != '"' && resolved[i] != '\\')))
      return false;
    out += resolved[i];
  }
  return true;
}

void CheckUnitPath(const std::string& raw) {
  const std::string path = "/" + raw;
  for (const auto use : {tarnwick::UnitPathUse::Command, tarnwick::UnitPathUse::WorkingDirectory}) {
    if (!tarnwick::UnitPathProblem(path, use).empty()) continue;
    const bool command = use == tarnwick::UnitPathUse::Command;
    const std::string value = command ? tarnwick::UnitCommandPath(path) : tarnwick::UnitDirectoryValue(path);
    // One line, valid for systemd's reader, not ended by what it strips or joins.
    if (tarnwick::FindInvalidUtf8(value) != std::string::npos || value.back() == ' ' || value.back() == '\\') abort();
    for (const char c : value) {
      if (IsControl(static_cast<unsigned char>(c))) abort();
    }
    std::string back;
    if (!Unquote(value, command, back) || back != path) abort();
    if (command && path.find_first_of("\"'\\$") != std::string::npos) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  CheckReadable(raw);
  CheckNotice(raw);
  CheckUnitPath(raw);
  return 0;
}
