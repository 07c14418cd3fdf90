#include "app/Utf8Text.h"

#include "app/ControlCharacters.h"

namespace tarnwick {

std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  // The range of the second byte rules out overlong forms, surrogates and values over U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::size_t FindInvalidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text.substr(at));
    if (length == 0) return at;
    at += length;
  }
  return std::string_view::npos;
}

std::string ReadableUtf8(std::string_view text, bool keepLineFeeds) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text.substr(at));
    const auto lead = static_cast<unsigned char>(text[at]);
    // U+0080..U+009F are C2 80..C2 9F: terminals and some renderers act on them like on ESC.
    const bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
    const bool control = length == 1 && (lead < 0x20 || lead == 0x7F) && !(keepLineFeeds && lead == '\n');
    if (length == 0 || control || c1) {
      const std::size_t shown = length == 0 ? 1 : length;
      for (std::size_t i = 0; i < shown; ++i) AppendEscapedByte(out, static_cast<unsigned char>(text[at + i]));
      at += shown;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

}  // namespace tarnwick
