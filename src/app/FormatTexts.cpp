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

std::string SizeLimitText(std::uint64_t bytes) {
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string IoResultText(const IoResult& result) {
  switch (result.refusal) {
    case IoResult::Refusal::NotRegularFile: return LoadString(IDS_FILE_NOT_REGULAR);
    case IoResult::Refusal::TooLarge: return FormatString(IDS_FILE_TOO_LARGE, SizeLimitText(result.limit).c_str());
    case IoResult::Refusal::None: break;
  }
  return SystemErrorText(result.sysError);
}

Status FileStatus(const std::string& path, const IoResult& result) {
  if (result.ok()) return {};
  return Status::IoError(path, result.sysError, path + ": " + IoResultText(result));
}

Status RefusedStoredFile(const std::string& path, std::uint64_t limit) {
  CFileDescriptor fd;
  const IoResult opened = OpenStoredFile(path, limit, fd);
  return opened.refusal == IoResult::Refusal::None ? Status() : FileStatus(path, opened);
}

void ShowLineCutWarning(UserPrompts& prompts, const CTextFile& file) {
  prompts.ShowMessage(FormatString(IDS_LINE_OVERFLOW, static_cast<unsigned>(file.LineNumber()), file.Capacity()),
                      LoadString(IDS_LINE_OVERFLOW_TITLE));
}

}  // namespace tarnwick
