// Readers of FTP folder listings: MLSD facts and the two LIST styles found in the wild (UNIX "ls -l"
// and the DOS style of Windows servers). Pure functions, so every server gives the same entries.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One entry of a remote folder.
struct FtpFileInfo {
  std::string name;
  bool isDirectory = false;
  std::uint64_t size = 0;
  std::time_t modified = 0;  // seconds since the epoch; valid only when hasTime
  bool hasTime = false;
  // The line could not be read: `name` holds the whole line, the other fields are empty.
  bool unparsed = false;
};

enum class FtpLineKind {
  Entry,     // an entry was read
  Skip,      // nothing to report: a blank line, "total N", the folder itself or its parent
  Unparsed,  // the whole line was put into the name
};

// ASCII letters compared without regard to case, as servers spell keywords either way.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Decimal digits (at least one, nothing else) to a number; false on anything else or on overflow.
bool ToUnsigned(std::string_view text, std::uint64_t& value);

// One line of an MLSD reply ("type=file;size=12;modify=20240102030405; name"). Times are UTC. A
// line without facts (no "fact=value" before its first blank) is skipped: a name holding a line
// break splits its line, and the tail must not become an entry.
FtpLineKind ParseMlsdLine(std::string_view line, FtpFileInfo& info);

// One line of a LIST reply, UNIX or DOS style (the DOS date month first, MM-DD-YY or MM-DD-YYYY,
// or year first, YYYY-MM-DD; "-" or "/" between its parts). Servers show their own wall-clock time without a
// zone, so those times are taken as local time here; a UNIX date without a year lies in the year
// before `now` when it would otherwise be more than a day in the future.
FtpLineKind ParseListLine(std::string_view line, std::time_t now, FtpFileInfo& info);

// Whole replies; lines end in CRLF or LF.
std::vector<FtpFileInfo> ParseMlsdListing(std::string_view text);
std::vector<FtpFileInfo> ParseListListing(std::string_view text, std::time_t now);

// The name a UNIX-server listing is taken by when its line could not be read: the text after the
// last blank, or the whole text when it has no blank or its only blank leads it.
std::string_view UnixNameOfUnparsedLine(std::string_view line);

}  // namespace tarnwick
