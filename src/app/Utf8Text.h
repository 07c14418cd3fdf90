// Texts for readers that take nothing but UTF-8 (a desktop notice over D-Bus, a systemd unit),
// made of names from outside, which may hold any bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it does not start
// with one (an overlong form, a surrogate, a code point over U+10FFFF or a cut sequence is not).
std::size_t Utf8SequenceLength(std::string_view text);

// The position of the first byte of `text` that is not part of a well-formed UTF-8 sequence;
// npos when the whole text is UTF-8.
std::size_t FindInvalidUtf8(std::string_view text);

// `text` as UTF-8 that shows every byte it holds: control bytes (below 0x20 and 0x7F), the C1
// controls U+0080..U+009F and every byte that is not UTF-8 are written "\xNN", as the log's
// escaping writes control bytes. Line feeds stay when `keepLineFeeds`; backslashes stay.
std::string ReadableUtf8(std::string_view text, bool keepLineFeeds);

}  // namespace tarnwick
