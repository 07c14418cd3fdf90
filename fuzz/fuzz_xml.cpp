// LoadText on any bytes, then a walk of the whole tree reading texts and attributes. A document
// that loads also takes a new child and attribute, and its text must load again to the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/XmlDocument.h"

namespace {

// Every element in document order: name-independent digest of texts and attributes.
std::string Walk(tarnwick::CXmlDocument& doc) {
  std::string digest;
  doc.ResetPosition();
  if (!doc.FindElement()) return digest;
  digest += doc.GetAttribute("a") + "|" + doc.GetAttribute("x");
  for (;;) {
    if (doc.FindChildElement()) {
      digest += "[" + doc.GetChildText() + "|" + doc.GetChildAttribute("a") + "|" + doc.GetChildAttribute("x");
      if (!doc.EnterChild()) abort();
      continue;
    }
    digest += "]";
    if (!doc.LeaveElement()) break;
  }
  return digest;
}

// An element named by a lone delimiter ("<>", "<=") cannot be closed by an end tag once it gets
// children, so such texts are only read, not extended.
bool HasDelimiterName(std::string_view text) {
  for (size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i + 1)) {
    size_t j = i + 1;
    while (j < text.size() && std::string_view(" \t\r\n").find(text[j]) != std::string_view::npos) ++j;
    if (j < text.size() && std::string_view("<>=\\").find(text[j]) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnwick::CXmlDocument doc;
  const bool loaded = doc.LoadText(text);
  if (loaded != doc.HasRoot()) abort();
  Walk(doc);
  if (!loaded || HasDelimiterName(text)) return 0;

  doc.ResetPosition();
  doc.FindElement();
  if (!doc.AddAttribute("x", "<\"&'>")) abort();
  if (!doc.AddChildElement("Z", "t&<")) abort();
  if (!doc.AddChildAttribute("a", "1")) abort();
  if (!doc.EnterChild() || !doc.AddChildElement("Y")) abort();
  const std::string built = Walk(doc);
  tarnwick::CXmlDocument again;
  if (!again.LoadText(doc.GetText())) abort();
  if (Walk(again) != built) abort();
  return 0;
}
