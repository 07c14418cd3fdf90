// Control characters in names that come from outside (a server's listing, a file name): they must
// never reach a terminal raw, nor split one log row into two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

// Whether `text` holds a byte below 0x20 or the byte 0x7F.
bool HasControlCharacter(std::string_view text);

// `text` with every control byte written as "\xNN" (and "\" itself as "\\"), so the result is one
// printable line that still tells the bytes apart.
std::string EscapeControlCharacters(std::string_view text);

// The same for a message of several lines, to be read on a terminal: its line feeds and
// backslashes stay, every other control byte is written as "\xNN".
std::string EscapeControlCharactersInMessage(std::string_view text);

// The longest name (one path component) a file system here takes, in bytes.
constexpr std::size_t kMaxNameBytes = 255;

// Whether a component of `path` (split at "/") is longer than kMaxNameBytes: no file of that name
// can exist here, and servers answer commands carrying one in ways a client cannot trust.
bool HasOverlongName(std::string_view path);

// Appends `byte` as "\xNN" (upper-case hex), the way escaped texts show a byte.
void AppendEscapedByte(std::string& out, unsigned char byte);

}  // namespace tarnwick
