// The words for what the storage formats report: they carry codes and numbers only (they know
// nothing of the string table), and these turn them into the texts a user reads.
#pragma once

#include <string>

#include "formats/XmlDocument.h"

namespace tarnwick {

class CTextFile;
class UserPrompts;

// The message of a parse error, with the element's name where the text has one; "" for none.
std::string XmlErrorText(const XmlParseError& error);

// Shows the warning "Warning !" about the line `file` has just cut at its buffer's size (call it
// when file.LineWasCut() is true).
void ShowLineCutWarning(UserPrompts& prompts, const CTextFile& file);

}  // namespace tarnwick
