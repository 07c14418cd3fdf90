#include "formats/XmlDocument.h"

#include <algorithm>
#include <utility>

namespace tarnwick {
namespace {

constexpr std::string_view kDelimiters = "<>=\\/?!";

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDelimiter(char c) { return c != '\0' && kDelimiters.find(c) != std::string_view::npos; }

int32_t ToPos(size_t pos) { return static_cast<int32_t>(pos); }

}  // namespace

struct CXmlDocument::Token {
  enum Kind { None, Bare, Quoted };
  Kind kind = None;
  size_t start = 0;  // first byte (of the content, for a quoted string)
  size_t end = 0;    // one past the last byte
  size_t next = 0;   // where the following scan starts

  bool Is(const std::string& text, char c) const { return kind == Bare && end == start + 1 && text[start] == c; }
};

struct CXmlDocument::ParseResult {
  enum Kind { Element, EndTag, Error };
  Kind kind = Error;
  int32_t index = 0;
  bool empty = false;
};

CXmlDocument::CXmlDocument() = default;
CXmlDocument::~CXmlDocument() = default;

// One token from `pos`. A name or quoted string needs at least one character after it to count;
// a lone delimiter counts even as the last character of the text, so that a document whose final
// byte is the '>' of the root's end tag loads. `limit` stands for the end of the text.
CXmlDocument::Token CXmlDocument::ScanToken(size_t pos, size_t limit) const {
  const size_t length = std::min(limit, text_.size());
  while (pos < length && IsWhitespace(text_[pos])) ++pos;
  if (pos >= length) return {};
  if (text_[pos] == '"') {
    const size_t close = text_.find('"', pos + 1);
    if (close == std::string::npos || close + 1 >= length) return {};  // also when it runs past the limit
    return {Token::Quoted, pos + 1, close, close + 1};
  }
  if (IsDelimiter(text_[pos])) return {Token::Bare, pos, pos + 1, pos + 1};
  size_t end = pos;
  while (end < length && !IsWhitespace(text_[end]) && !IsDelimiter(text_[end])) ++end;
  if (end >= length) return {};
  return {Token::Bare, pos, end, end};
}

std::string_view CXmlDocument::TokenText(const Token& token) const {
  if (token.kind == Token::None) return {};
  return std::string_view(text_).substr(token.start, token.end - token.start);
}

std::string_view CXmlDocument::ElementName(int32_t index) const {
  return TokenText(ScanToken(static_cast<size_t>(positions_[index].startOpen) + 1));
}

bool CXmlDocument::NameMatches(int32_t index, std::string_view name) const {
  return name.empty() || ElementName(index) == name;
}

int32_t CXmlDocument::TakeRecord() {
  if (static_cast<size_t>(nextFree_) >= positions_.size()) {
    positions_.resize(positions_.size() + positions_.size() / 2 + 1);
  }
  const int32_t index = nextFree_++;
  positions_[index] = ElementPosition{};
  return index;
}

bool CXmlDocument::Fail(XmlError code, int32_t index) {
  lastError_.code = code;
  // Only the end-tag errors speak of an element: the one whose end tag was looked for.
  const bool named = code == XmlError::EndTagNotFound || code == XmlError::ExpectingEndTag ||
                     code == XmlError::EndTagMismatch || code == XmlError::EndTagNotCompleted;
  lastError_.element = named ? std::string(ElementName(index)) : std::string();
  return false;
}

void CXmlDocument::SetNextMarkup(int32_t index) {
  ElementPosition& e = positions_[index];
  const size_t next = text_.find('<', static_cast<size_t>(e.endClose) + 1);
  e.nextMarkup = next == std::string::npos ? ToPos(text_.size()) : ToPos(next);
}

// Finds the next element under `parent` from its cursor (endOpen), skipping processing
// instructions, comments, CDATA sections and declarations, and parses its start tag.
CXmlDocument::ParseResult CXmlDocument::ParseStart(int32_t parent) {
  const int32_t index = TakeRecord();
  positions_[index].parent = parent;
  auto fail = [&](XmlError code) {
    Fail(code, parent);
    --nextFree_;
    return ParseResult{};
  };
  size_t cursor = static_cast<size_t>(positions_[parent].endOpen);
  for (;;) {
    const size_t open = text_.find('<', cursor);
    if (open == std::string::npos) return fail(XmlError::ElementTagNotFound);
    positions_[parent].endOpen = ToPos(open);
    const Token token = ScanToken(open + 1);
    if (token.kind == Token::None) return fail(XmlError::AbruptEnd);
    if (token.kind == Token::Quoted) return fail(XmlError::TagStartsWithQuote);

    std::string_view terminator = ">";
    bool skipped = true;
    if (token.Is(text_, '?')) {
      terminator = "?>";
    } else if (token.Is(text_, '!')) {
      const char after = token.next < text_.size() ? text_[token.next] : '\0';
      terminator = after == '[' ? "]]>" : after == '-' ? "-->" : ">";
    } else if (token.Is(text_, '/')) {
      --nextFree_;
      return {ParseResult::EndTag, 0, false};
    } else {
      skipped = false;
    }
    const size_t found = text_.find(terminator, token.next);
    if (found == std::string::npos) return fail(XmlError::EndOfTagNotFound);
    if (skipped) {
      cursor = found;
      continue;
    }
    ElementPosition& e = positions_[index];
    e.startOpen = ToPos(open);
    e.startClose = ToPos(found);
    const bool empty = text_[found - 1] == '/';
    if (empty) {
      e.endOpen = e.startClose - 1;
      e.endClose = e.startClose;
      SetNextMarkup(index);
    }
    return {ParseResult::Element, index, empty};
  }
}

// The end tag of `index`, whose endOpen stands on (or before) its '<'.
bool CXmlDocument::ParseEndTag(int32_t index) {
  const size_t open = text_.find('<', static_cast<size_t>(positions_[index].endOpen));
  if (open == std::string::npos) return Fail(XmlError::EndTagNotFound, index);
  positions_[index].endOpen = ToPos(open);
  size_t pos = open + 1;
  int count = 0;
  for (;;) {
    const Token token = ScanToken(pos);
    if (token.kind == Token::None) return Fail(XmlError::EndTagNotCompleted, index);
    if (token.Is(text_, '>')) {
      if (count < 2) return Fail(XmlError::EndTagNotCompleted, index);
      positions_[index].endClose = ToPos(token.start);
      SetNextMarkup(index);
      return true;
    }
    ++count;
    if (token.kind == Token::Bare) {
      if (count == 1 && !token.Is(text_, '/')) return Fail(XmlError::ExpectingEndTag, index);
      if (count == 2 && TokenText(token) != ElementName(index)) return Fail(XmlError::EndTagMismatch, index);
    }
    pos = token.next;
  }
}

// Parses the first element at the top level. Open elements are kept on a stack of our own rather
// than the call stack, so that deep nesting in a damaged file cannot overflow it.
int32_t CXmlDocument::ParseDocument() {
  const ParseResult first = ParseStart(0);
  if (first.kind != ParseResult::Element) return 0;
  std::vector<int32_t> open;
  auto enter = [&](int32_t index) {
    positions_[index].endOpen = positions_[index].startClose + 1;
    open.push_back(index);
  };
  if (!first.empty) enter(first.index);
  while (!open.empty()) {
    const int32_t element = open.back();
    const ParseResult child = ParseStart(element);
    if (child.kind == ParseResult::Error) return 0;
    if (child.kind == ParseResult::Element) {
      ElementPosition& e = positions_[element];
      if (e.lastChild != 0) {
        positions_[e.lastChild].nextSibling = child.index;
      } else {
        e.firstChild = child.index;
      }
      e.lastChild = child.index;
      if (child.empty) {
        e.endOpen = positions_[child.index].endClose + 1;
      } else {
        enter(child.index);
      }
      continue;
    }
    if (!ParseEndTag(element)) return 0;
    open.pop_back();
    if (!open.empty()) positions_[open.back()].endOpen = positions_[element].endClose + 1;
  }
  return first.index;
}

bool CXmlDocument::LoadText(std::string_view text) {
  nextFree_ = 1;
  ResetPosition();
  if (text.size() > kMaxTextLength) {
    // Positions are 32-bit; such a text is refused as a whole.
    text_.clear();
  } else {
    text_.assign(text);
  }
  const size_t wanted = text_.size() / 64 + 8;
  if (positions_.size() < wanted) positions_.resize(wanted);
  positions_[0] = ElementPosition{};
  if (!text_.empty()) {
    const int32_t root = ParseDocument();
    if (root != 0) {
      positions_[0].firstChild = root;
      positions_[0].lastChild = root;
      ResetPosition();
      return true;
    }
  }
  positions_[0] = ElementPosition{};
  nextFree_ = 1;
  ResetPosition();
  return false;
}

std::string CXmlDocument::GetText() const { return text_; }

void CXmlDocument::ResetPosition() {
  current_ = 0;
  currentChild_ = 0;
  depth_ = 0;
}

bool CXmlDocument::HasRoot() const { return !positions_.empty() && positions_[0].firstChild != 0; }

bool CXmlDocument::FindElement(std::string_view name) {
  if (positions_.empty()) return false;
  int32_t candidate = current_ != 0 ? positions_[current_].nextSibling : positions_[0].firstChild;
  for (; candidate != 0; candidate = positions_[candidate].nextSibling) {
    if (NameMatches(candidate, name)) {
      current_ = candidate;
      currentChild_ = 0;
      return true;
    }
  }
  return false;
}

bool CXmlDocument::FindChildElement(std::string_view name) {
  if (current_ == 0) FindElement();
  if (current_ == 0 || positions_[current_].IsEmpty()) return false;
  int32_t candidate = currentChild_ != 0 ? positions_[currentChild_].nextSibling : positions_[current_].firstChild;
  for (; candidate != 0; candidate = positions_[candidate].nextSibling) {
    if (NameMatches(candidate, name)) {
      currentChild_ = candidate;
      return true;
    }
  }
  return false;
}

bool CXmlDocument::EnterChild() {
  if (currentChild_ == 0) FindChildElement();
  if (currentChild_ == 0) return false;
  current_ = currentChild_;
  currentChild_ = 0;
  ++depth_;
  return true;
}

bool CXmlDocument::LeaveElement() {
  if (current_ == 0 || depth_ <= 0) return false;
  currentChild_ = current_;
  current_ = positions_[current_].parent;
  --depth_;
  return true;
}

std::string CXmlDocument::GetChildText() const {
  if (currentChild_ == 0) return {};
  const ElementPosition& e = positions_[currentChild_];
  if (e.firstChild != 0 || e.IsEmpty()) return {};
  const std::string_view text(text_);
  const size_t endOpen = static_cast<size_t>(e.endOpen);
  const Token token = ScanToken(static_cast<size_t>(e.startClose) + 1);
  if (token.Is(text_, '<')) {
    // Content that starts with a CDATA section is that section, verbatim; what follows it is not text.
    constexpr std::string_view kCdata = "![CDATA[";
    const size_t open = token.start;
    if (text.substr(open + 1).starts_with(kCdata) && open + 11 < endOpen) {
      const size_t from = open + 1 + kCdata.size();
      const size_t close = text.find("]]>", from);
      if (close != std::string_view::npos && close < endOpen) return std::string(text.substr(from, close - from));
    }
  }
  const size_t from = static_cast<size_t>(e.startClose) + 1;
  return UnescapeText(text.substr(from, endOpen - from));
}

// A value is found only as name, "=", quoted string; the first attribute of that name wins.
// The scan stays inside the start tag: a quoted value that runs past the tag's '>' is broken and
// not found, and a damaged file cannot make every look-up run through the rest of the text.
std::string CXmlDocument::AttributeOf(int32_t index, std::string_view name) const {
  if (index == 0) return {};
  size_t pos = static_cast<size_t>(positions_[index].startOpen) + 1;
  const size_t limit = static_cast<size_t>(positions_[index].startClose) + 1;
  int matched = -1;
  for (int number = 0;; ++number) {
    const Token token = ScanToken(pos, limit);
    if (token.kind == Token::None) return {};
    if (token.kind == Token::Quoted) {
      if (matched >= 0 && number == matched + 2) return UnescapeText(TokenText(token));
    } else {
      if (token.Is(text_, '>') || token.Is(text_, '/')) return {};
      if (matched < 0 && number >= 1 && !token.Is(text_, '=') && TokenText(token) == name) matched = number;
    }
    pos = token.next;
  }
}

std::string CXmlDocument::GetAttribute(std::string_view name) const { return AttributeOf(current_, name); }

std::string CXmlDocument::GetChildAttribute(std::string_view name) const { return AttributeOf(currentChild_, name); }

bool CXmlDocument::AddElement(std::string_view name, std::string_view text) {
  if (positions_.empty()) positions_.resize(8);
  const int32_t parent = current_ != 0 ? positions_[current_].parent : 0;
  currentChild_ = 0;
  if (parent == 0) {
    if (positions_[0].firstChild != 0) return false;
    // Whatever did not parse is dropped: the new root starts the text.
    text_.clear();
    positions_[0] = ElementPosition{};
    nextFree_ = 1;
  }
  const int32_t index = InsertElement(parent, current_, name, text);
  if (index == 0) return false;
  current_ = index;
  return true;
}

bool CXmlDocument::AddChildElement(std::string_view name, std::string_view text) {
  if (current_ == 0) return false;
  if (currentChild_ == 0) currentChild_ = positions_[current_].lastChild;
  const int32_t index = InsertElement(current_, currentChild_, name, text);
  if (index == 0) return false;
  currentChild_ = index;
  return true;
}

bool CXmlDocument::AddAttribute(std::string_view name, std::string_view value) {
  return current_ != 0 && InsertAttribute(current_, name, value);
}

bool CXmlDocument::AddChildAttribute(std::string_view name, std::string_view value) {
  return currentChild_ != 0 && InsertAttribute(currentChild_, name, value);
}

// Splices "<name>text</name>\r\n" (or "<name/>\r\n") into the text under `parent`, after the
// sibling `after` (0: as the first child), and returns the new record, or 0 when the text would
// outgrow 32-bit positions. Only what follows the insertion point is shifted: appending at the
// end of a document touches the ancestors alone.
int32_t CXmlDocument::InsertElement(int32_t parent, int32_t after, std::string_view name, std::string_view text) {
  std::string markup;
  std::string escaped;
  markup.reserve(name.size() * 2 + text.size() + 8);
  if (text.empty()) {
    markup.append("<").append(name).append("/>\r\n");
  } else {
    escaped = EscapeText(text, EscapeMode::Element);
    markup.append("<").append(name).append(">").append(escaped).append("</").append(name).append(">\r\n");
  }

  const ElementPosition& p = positions_[parent];
  const bool convert = after == 0 && p.firstChild == 0 && parent != 0 && p.IsEmpty();
  const std::string parentName = convert ? std::string(ElementName(parent)) : std::string();
  const size_t growth = markup.size() + (convert ? parentName.size() + 4 : 0);
  if (text_.size() + growth > kMaxTextLength) return 0;

  size_t at = 0;
  if (after != 0) {
    at = static_cast<size_t>(positions_[after].nextMarkup);
  } else if (p.firstChild != 0) {
    at = static_cast<size_t>(positions_[p.firstChild].startOpen);
  } else if (convert) {
    at = static_cast<size_t>(p.endOpen) + 3;
  } else if (parent != 0) {
    at = static_cast<size_t>(p.endOpen);
  }

  int32_t delta = 0;
  if (convert) {
    // <p/> becomes <p>, the new element's line and </p>: the '/' gives way to the whole splice.
    const size_t slash = static_cast<size_t>(p.endOpen);
    std::string splice;
    splice.reserve(growth + 1);
    splice.append(">\r\n").append(markup).append("</").append(parentName);
    text_.replace(slash, 1, splice);
    delta = static_cast<int32_t>(splice.size()) - 1;
  } else {
    text_.insert(at, markup);
    delta = static_cast<int32_t>(markup.size());
  }

  const int32_t index = TakeRecord();  // may move the table: no references held across it
  const int32_t n = static_cast<int32_t>(name.size());
  ElementPosition& e = positions_[index];
  e.parent = parent;
  e.startOpen = ToPos(at);
  if (text.empty()) {
    e.startClose = e.startOpen + n + 2;
    e.endOpen = e.startClose - 1;
    e.endClose = e.startClose;
  } else {
    e.startClose = e.startOpen + n + 1;
    e.endOpen = e.startClose + 1 + static_cast<int32_t>(escaped.size());
    e.endClose = e.endOpen + n + 2;
  }
  e.nextMarkup = e.endClose + 3;

  ElementPosition& up = positions_[parent];
  if (after != 0) {
    e.nextSibling = positions_[after].nextSibling;
    positions_[after].nextSibling = index;
    if (up.lastChild == after) up.lastChild = index;
  } else {
    e.nextSibling = up.firstChild;
    up.firstChild = index;
    if (up.lastChild == 0) up.lastChild = index;
  }

  if (convert) {
    up.startClose = ToPos(at) - 3;
    up.endOpen = e.nextMarkup;
    up.endClose = up.endOpen + 2 + static_cast<int32_t>(parentName.size());
    up.nextMarkup += delta;
    ShiftFollowing(parent, delta);
  } else {
    ShiftFollowing(index, delta);
  }
  return index;
}

bool CXmlDocument::InsertAttribute(int32_t index, std::string_view name, std::string_view value) {
  std::string inserted;
  const std::string escaped = EscapeText(value, EscapeMode::Attribute);
  inserted.reserve(name.size() + escaped.size() + 4);
  inserted.append(" ").append(name).append("=\"").append(escaped).append("\"");
  if (text_.size() + inserted.size() > kMaxTextLength) return false;

  ElementPosition& e = positions_[index];
  const size_t at = static_cast<size_t>(e.IsEmpty() ? e.endOpen : e.startClose);
  text_.insert(at, inserted);
  const int32_t delta = static_cast<int32_t>(inserted.size());
  e.startClose += delta;
  e.endOpen += delta;
  e.endClose += delta;
  e.nextMarkup += delta;
  for (int32_t child = e.firstChild; child != 0; child = positions_[child].nextSibling) ShiftSubtree(child, delta);
  ShiftFollowing(index, delta);
  return true;
}

// Moves an element and everything inside it by `delta`.
void CXmlDocument::ShiftSubtree(int32_t top, int32_t delta) {
  int32_t i = top;
  for (;;) {
    ElementPosition& e = positions_[i];
    e.startOpen += delta;
    e.startClose += delta;
    e.endOpen += delta;
    e.endClose += delta;
    e.nextMarkup += delta;
    if (e.firstChild != 0) {
      i = e.firstChild;
      continue;
    }
    while (i != top && positions_[i].nextSibling == 0) i = positions_[i].parent;
    if (i == top) return;
    i = positions_[i].nextSibling;
  }
}

// After text was inserted inside or right after `index`: the younger siblings of it and of each
// ancestor move whole; the ancestors (and the document record) only with their end tags.
void CXmlDocument::ShiftFollowing(int32_t index, int32_t delta) {
  for (int32_t node = index; node != 0;) {
    for (int32_t sibling = positions_[node].nextSibling; sibling != 0; sibling = positions_[sibling].nextSibling) {
      ShiftSubtree(sibling, delta);
    }
    node = positions_[node].parent;
    ElementPosition& up = positions_[node];
    up.endOpen += delta;
    up.endClose += delta;
    up.nextMarkup += delta;
  }
}

std::string CXmlDocument::EscapeText(std::string_view text, EscapeMode mode) {
  std::string out;
  out.reserve(text.size() + text.size() / 10 + 7);
  const bool attribute = mode == EscapeMode::Attribute;
  for (const char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '&': out += "&amp;"; break;
      case '>': out += "&gt;"; break;
      case '\'':
        if (attribute) {
          out += "&apos;";
        } else {
          out += c;
        }
        break;
      case '"':
        if (attribute) {
          out += "&quot;";
        } else {
          out += c;
        }
        break;
      default: out += c;
    }
  }
  return out;
}

std::string CXmlDocument::UnescapeText(std::string_view range) {
  static constexpr std::pair<std::string_view, char> kReferences[] = {
      {"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'}};
  std::string out;
  out.reserve(range.size());
  size_t i = 0;
  while (i < range.size()) {
    if (range[i] == '&') {
      const std::string_view rest = range.substr(i + 1);
      bool matched = false;
      for (const auto& [reference, character] : kReferences) {
        if (rest.starts_with(reference)) {
          out += character;
          i += 1 + reference.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    out += range[i++];
  }
  return out;
}

}  // namespace tarnwick
