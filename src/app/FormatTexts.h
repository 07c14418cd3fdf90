// The words for what the storage formats report: they carry codes and numbers only (they know
// nothing of the string table), and these turn them into the texts a user reads.
#pragma once

#include <cstdint>
#include <string>

#include "app/Status.h"
#include "formats/FileIo.h"
#include "formats/XmlDocument.h"

namespace tarnwick {

class CTextFile;
class UserPrompts;

// The message of a parse error, with the element's name where the text has one; "" for none.
std::string XmlErrorText(const XmlParseError& error);

// Why a file operation failed: the system's reason, or for a file the reading rule turned down
// (formats/FileIo.h) "Not a regular file ..." or "Larger than 8 MiB, the limit for this file".
std::string IoResultText(const IoResult& result);

// IoError for `path` with that reason; ToString gives "path: reason".
Status FileStatus(const std::string& path, const IoResult& result);

// For a file another library opens by its name (an SSH key, known_hosts): opens `path` under the
// reading rule with `limit` and closes it again. The refusal of a FIFO, device, folder or file over
// the limit, as FileStatus words it; Ok for a regular file, a missing one and one the system
// refuses (the library reports those as it always has).
Status RefusedStoredFile(const std::string& path, std::uint64_t limit);

// A size as the limits are written: "256 MiB", "64 KiB", or bytes.
std::string SizeLimitText(std::uint64_t bytes);

// Shows the warning "Warning !" about the line `file` has just cut at its buffer's size (call it
// when file.LineWasCut() is true).
void ShowLineCutWarning(UserPrompts& prompts, const CTextFile& file);

}  // namespace tarnwick
