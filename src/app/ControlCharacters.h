// Control characters in names that come from outside (a server's listing, a file name): they must
// never reach a terminal raw, nor split one log row into two.
#pragma once

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

}  // namespace tarnwick
