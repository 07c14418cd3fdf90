#include "app/FormatTexts.h"

#include "app/StringTable.h"
#include "app/UserPrompts.h"
#include "formats/TextFile.h"

namespace tarnwick {

std::string XmlErrorText(const XmlParseError& error) {
  switch (error.code) {
    case XmlError::None: return {};
    case XmlError::ElementTagNotFound: return LoadString(IDS_XML_ELEMENT_TAG_NOT_FOUND);
    case XmlError::AbruptEnd: return LoadString(IDS_XML_ABRUPT_END);
    case XmlError::TagStartsWithQuote: return LoadString(IDS_XML_TAG_STARTS_WITH_QUOTE);
    case XmlError::EndOfTagNotFound: return LoadString(IDS_XML_END_OF_TAG_NOT_FOUND);
    case XmlError::EndTagNotFound: return FormatString(IDS_XML_END_TAG_NOT_FOUND, error.element.c_str());
    case XmlError::ExpectingEndTag: return FormatString(IDS_XML_EXPECTING_END_TAG, error.element.c_str());
    case XmlError::EndTagMismatch: return FormatString(IDS_XML_END_TAG_MISMATCH, error.element.c_str());
    case XmlError::EndTagNotCompleted: return FormatString(IDS_XML_END_TAG_NOT_COMPLETED, error.element.c_str());
  }
  return {};
}

void ShowLineCutWarning(UserPrompts& prompts, const CTextFile& file) {
  prompts.ShowMessage(FormatString(IDS_LINE_OVERFLOW, static_cast<unsigned>(file.LineNumber()), file.Capacity()),
                      LoadString(IDS_LINE_OVERFLOW_TITLE));
}

}  // namespace tarnwick
