// The small XML reader and writer behind config.xml and the profile files.
//
// A document is one text plus a table of element positions into it. LoadText parses the text once;
// readers then walk the tree with a current element and a current child. Writers start from an
// empty document and splice new markup into the text, one element per line (CR LF), keeping the
// table in step so that reading and adding can be mixed.
//
// Nothing here throws or shows a message: failures are false or "" results, parse errors also set
// LastError(), as a code the caller turns into words (app/FormatTexts.h). Names compare byte by
// byte, case-sensitively. Texts are UTF-8 (byte positions).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Where one element stands in the text. Positions are zero-based byte indexes.
struct ElementPosition {
  int32_t startOpen = 0;    // '<' of the start tag
  int32_t startClose = 0;   // '>' of the start tag
  int32_t endOpen = 0;      // '<' of the end tag; for <name/> the '/'; the parse cursor while parsing
  int32_t endClose = 0;     // '>' of the end tag; for <name/> equal to startClose
  int32_t nextMarkup = 0;   // first '<' after endClose, or the text length
  int32_t parent = 0;       // 0 = the document
  int32_t firstChild = 0;   // 0 = none
  int32_t nextSibling = 0;  // 0 = none
  // Not part of the stored layout: the tail of the child chain, so that appending a child does not
  // walk its elder siblings.
  int32_t lastChild = 0;

  bool IsEmpty() const { return startClose == endOpen + 1; }
};

// Why a text could not be parsed.
enum class XmlError {
  None,
  ElementTagNotFound,  // no further '<' where an element or end tag is expected
  AbruptEnd,           // nothing (or a token running to the end of the text) follows a '<'
  TagStartsWithQuote,  // a double quote follows a '<'
  EndOfTagNotFound,    // a start tag, instruction, comment, CDATA section or declaration is not closed
  EndTagNotFound,      // no '<' where the end tag of `element` should begin
  ExpectingEndTag,     // the end tag of `element` does not start with '/'
  EndTagMismatch,      // the end tag's name differs from `element`
  EndTagNotCompleted,  // the end tag of `element` is cut off before '>' or has no name
};

struct XmlParseError {
  XmlError code = XmlError::None;
  // The open element whose end tag was looked for (the last four codes only; empty otherwise).
  std::string element;

  friend bool operator==(const XmlParseError&, const XmlParseError&) = default;
};

class CXmlDocument {
 public:
  enum class EscapeMode { Element, Attribute };

  // Positions are 32-bit: a longer text is refused by LoadText and by the add operations.
  static constexpr size_t kMaxTextLength = 0x7FFFFFF0;

  CXmlDocument();
  virtual ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = default;
  CXmlDocument& operator=(const CXmlDocument&) = default;

  // Replaces the text and parses it. An absent text is an empty one (the way writers start).
  // True when a root element was parsed; otherwise the document has no root and the text stays.
  bool LoadText(std::string_view text = {});

  // The whole text with every edit applied.
  std::string GetText() const;

  // current = 0, currentChild = 0, depth = 0.
  void ResetPosition();
  bool HasRoot() const;

  // Navigation. An empty name matches any element.
  bool FindElement(std::string_view name = {});
  bool FindChildElement(std::string_view name = {});
  bool EnterChild();
  bool LeaveElement();

  // Reading; "" when there is no such element or attribute.
  std::string GetChildText() const;
  std::string GetAttribute(std::string_view name) const;
  std::string GetChildAttribute(std::string_view name) const;

  // Building. An empty text writes the empty-element form <name/>.
  bool AddElement(std::string_view name, std::string_view text = {});
  bool AddChildElement(std::string_view name, std::string_view text = {});
  bool AddAttribute(std::string_view name, std::string_view value);
  bool AddChildAttribute(std::string_view name, std::string_view value);

  // The last parse error; a successful parse does not clear it.
  const XmlParseError& LastError() const { return lastError_; }

  // Current depth of EnterChild steps not undone by LeaveElement.
  int32_t Depth() const { return depth_; }

  static std::string EscapeText(std::string_view text, EscapeMode mode);
  static std::string UnescapeText(std::string_view range);

 private:
  struct Token;
  struct ParseResult;

  Token ScanToken(size_t pos, size_t limit = std::string::npos) const;
  std::string_view TokenText(const Token& token) const;
  std::string_view ElementName(int32_t index) const;
  bool NameMatches(int32_t index, std::string_view name) const;
  int32_t TakeRecord();
  ParseResult ParseStart(int32_t parent);
  bool ParseEndTag(int32_t index);
  int32_t ParseDocument();
  void SetNextMarkup(int32_t index);
  bool Fail(XmlError code, int32_t index);
  std::string AttributeOf(int32_t index, std::string_view name) const;
  int32_t InsertElement(int32_t parent, int32_t after, std::string_view name, std::string_view text);
  bool InsertAttribute(int32_t index, std::string_view name, std::string_view value);
  void ShiftSubtree(int32_t index, int32_t delta);
  void ShiftFollowing(int32_t index, int32_t delta);

  std::string text_;
  int32_t depth_ = 0;
  XmlParseError lastError_;
  std::vector<ElementPosition> positions_;
  int32_t current_ = 0;
  int32_t currentChild_ = 0;
  int32_t nextFree_ = 1;
};

}  // namespace tarnwick
