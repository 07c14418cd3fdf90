#include "formats/XmlDocument.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

// A text that fails to load, and the error it must report.
struct ParseErrorCase {
  const char* text;
  XmlError code;
  const char* element;  // the open element named by the end-tag errors
};

class XmlDocumentParseError : public ::testing::TestWithParam<ParseErrorCase> {};

TEST_P(XmlDocumentParseError, FailsWithItsCodeAndElement) {
  const ParseErrorCase& c = GetParam();
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadText(c.text));
  EXPECT_FALSE(doc.HasRoot());
  EXPECT_EQ(doc.LastError(), (XmlParseError{c.code, c.element}));
}

INSTANTIATE_TEST_SUITE_P(Texts, XmlDocumentParseError,
                         ::testing::Values(ParseErrorCase{"<A><B/>", XmlError::ElementTagNotFound, ""},
                                           ParseErrorCase{"<A>", XmlError::ElementTagNotFound, ""},
                                           ParseErrorCase{"plain text", XmlError::ElementTagNotFound, ""},
                                           ParseErrorCase{"<A", XmlError::AbruptEnd, ""},
                                           ParseErrorCase{"<A>  <", XmlError::AbruptEnd, ""},
                                           ParseErrorCase{"<\"A\"></A>", XmlError::TagStartsWithQuote, ""},
                                           ParseErrorCase{"<A ", XmlError::EndOfTagNotFound, ""},
                                           ParseErrorCase{"<?xml version=\"1.0\"<A/>", XmlError::EndOfTagNotFound, ""},
                                           ParseErrorCase{"<!-- no end <A/>", XmlError::EndOfTagNotFound, ""},
                                           ParseErrorCase{"<A><![CDATA[x</A>", XmlError::EndOfTagNotFound, ""},
                                           ParseErrorCase{"<!DOCTYPE", XmlError::EndOfTagNotFound, ""},
                                           ParseErrorCase{"<A></B>", XmlError::EndTagMismatch, "A"},
                                           ParseErrorCase{"<A></a>", XmlError::EndTagMismatch, "A"},
                                           ParseErrorCase{"<A><B></A></B>", XmlError::EndTagMismatch, "B"},
                                           ParseErrorCase{"<A></A", XmlError::EndTagNotCompleted, "A"},
                                           ParseErrorCase{"<A></>", XmlError::EndTagNotCompleted, "A"},
                                           ParseErrorCase{"<A><B>x</B", XmlError::EndTagNotCompleted, "B"},
                                           // The end tag of B runs on to the next '>': A is left without one.
                                           ParseErrorCase{"<A><B>x</B </A>", XmlError::ElementTagNotFound, ""}));

TEST(XmlDocumentParse, FailureKeepsLastErrorAndText) {
  const XmlParseError mismatch{XmlError::EndTagMismatch, "A"};
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadText("<A></B>"));
  // A stray end tag fails without an error of its own; success does not clear the error.
  EXPECT_FALSE(doc.LoadText("</A>"));
  EXPECT_EQ(doc.LastError(), mismatch);
  EXPECT_EQ(doc.GetText(), "</A>");
  EXPECT_TRUE(doc.LoadText("<A/>"));
  EXPECT_EQ(doc.LastError(), mismatch);
  EXPECT_FALSE(doc.LoadText("<A>"));
  EXPECT_FALSE(doc.FindElement());
  EXPECT_FALSE(doc.FindChildElement());
  EXPECT_EQ(doc.GetChildText(), "");
  EXPECT_EQ(doc.GetAttribute("x"), "");
}

class XmlDocumentLoads : public ::testing::TestWithParam<const char*> {};

TEST_P(XmlDocumentLoads, DocumentMayEndWithTheRootsEndTag) {
  CXmlDocument doc;
  EXPECT_TRUE(doc.LoadText(GetParam()));
  EXPECT_TRUE(doc.HasRoot());
}

INSTANTIATE_TEST_SUITE_P(Texts, XmlDocumentLoads,
                         ::testing::Values("<A></A>", "<R><B/><Q/></R>", "<A/>", "<A></A x>", "<A></A\r\n>\r\n"));

TEST(XmlDocumentParse, SkipsInstructionsCommentsDeclarationsAndTrailingElements) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<?xml version=\"1.0\"?><!-- note --><!DOCTYPE A><A/>text<B/>"));
  EXPECT_TRUE(doc.FindElement("A"));
  EXPECT_FALSE(doc.FindElement("B"));

  ASSERT_TRUE(doc.LoadText("<R>\r\n<!-- one -->\r\n<?pi?><X>1</X><!-- two --><Y>2</Y>\r\n</R>"));
  ASSERT_TRUE(doc.FindChildElement("X"));
  EXPECT_EQ(doc.GetChildText(), "1");
  ASSERT_TRUE(doc.FindChildElement("Y"));
  EXPECT_EQ(doc.GetChildText(), "2");
}

// One child of a loaded document and what a reader finds in it.
struct ReadCase {
  const char* text;
  const char* child;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c) { return out << c.text << " / " << c.child; }

class XmlDocumentChildText : public ::testing::TestWithParam<ReadCase> {};

TEST_P(XmlDocumentChildText, IsDecodedOrVerbatim) {
  const ReadCase& c = GetParam();
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText(c.text));
  ASSERT_TRUE(doc.FindChildElement(c.child));
  EXPECT_EQ(doc.GetChildText(), c.expected);
}

constexpr const char* kTexts =
    "<R><T> x &amp; y &#65; </T><E/><P><C/></P><Z></Z><Q>&lt;&gt;&apos;&quot;&amp&Lt;&amp;lt;</Q></R>";
constexpr const char* kCdata = "<R><C>  <![CDATA[a<b&amp;]]> more</C><D><![CDATA[]]></D></R>";

INSTANTIATE_TEST_SUITE_P(Elements, XmlDocumentChildText,
                         ::testing::Values(ReadCase{kTexts, "T", " x & y &#65; "}, ReadCase{kTexts, "E", ""},
                                           ReadCase{kTexts, "P", ""},  // an element with children has no text
                                           ReadCase{kTexts, "Z", ""}, ReadCase{kTexts, "Q", "<>'\"&amp&Lt;&lt;"},
                                           // A CDATA section is taken verbatim and ends the text.
                                           ReadCase{kCdata, "C", "a<b&amp;"}, ReadCase{kCdata, "D", ""}));

// Attributes are found only as name, "=", double-quoted value; the first of equal names wins.
struct AttributeCase {
  bool ofChild;  // GetChildAttribute of K rather than GetAttribute of R
  const char* name;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const AttributeCase& c) {
  return out << (c.ofChild ? "K." : "R.") << c.name;
}

class XmlDocumentAttribute : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(XmlDocumentAttribute, NeedsNameEqualsQuotedValue) {
  const AttributeCase& c = GetParam();
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<R a=1 b='2' c=\"3\" d = \"&lt;4&quot;\" c=\"5\" e><K x=\"y\"/></R>"));
  ASSERT_TRUE(doc.FindElement("R"));
  if (c.ofChild) {
    ASSERT_TRUE(doc.FindChildElement("K"));
    EXPECT_EQ(doc.GetChildAttribute(c.name), c.expected);
  } else {
    EXPECT_EQ(doc.GetAttribute(c.name), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, XmlDocumentAttribute,
                         ::testing::Values(AttributeCase{false, "a", ""}, AttributeCase{false, "b", ""},
                                           AttributeCase{false, "c", "3"}, AttributeCase{false, "d", "<4\""},
                                           AttributeCase{false, "e", ""},
                                           AttributeCase{false, "R", ""},  // the element name is no attribute
                                           AttributeCase{true, "x", "y"}, AttributeCase{false, "x", ""}));

TEST(XmlDocumentRead, RawGreaterThanInAttributeValueEndsTheStartTag) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<R><K v=\"a>b\">t</K></R>"));
  ASSERT_TRUE(doc.FindChildElement("K"));
  EXPECT_EQ(doc.GetChildText(), "b\">t");
  EXPECT_EQ(doc.GetChildAttribute("v"), "");  // the value runs past the end of the start tag
}

TEST(XmlDocumentNavigate, ChildSearchIsForwardOnly) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<R><B/><Q/></R>"));
  EXPECT_FALSE(doc.LeaveElement());
  EXPECT_TRUE(doc.FindChildElement("Q"));  // finds the root first
  EXPECT_FALSE(doc.FindChildElement("B"));
  EXPECT_FALSE(doc.FindChildElement("Q"));
  doc.ResetPosition();
  EXPECT_TRUE(doc.FindChildElement("B"));
  EXPECT_TRUE(doc.FindChildElement("Q"));
  EXPECT_FALSE(doc.FindChildElement("R"));
}

TEST(XmlDocumentNavigate, EnterAndLeave) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<R><A><X>1</X><Y>2</Y></A><B><X>3</X></B><E/></R>"));
  ASSERT_TRUE(doc.FindElement("R"));
  EXPECT_FALSE(doc.LeaveElement());
  ASSERT_TRUE(doc.EnterChild());  // first child, A
  EXPECT_EQ(doc.Depth(), 1);
  ASSERT_TRUE(doc.FindChildElement("Y"));
  EXPECT_EQ(doc.GetChildText(), "2");
  ASSERT_TRUE(doc.LeaveElement());  // A is the current child again
  EXPECT_EQ(doc.Depth(), 0);
  ASSERT_TRUE(doc.FindChildElement("B"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.FindChildElement());
  EXPECT_EQ(doc.GetChildText(), "3");
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.FindChildElement("E"));
  ASSERT_TRUE(doc.EnterChild());
  EXPECT_FALSE(doc.FindChildElement());  // empty element
  EXPECT_FALSE(doc.EnterChild());
  EXPECT_FALSE(doc.FindElement("A"));  // siblings after E: none
}

TEST(XmlDocumentWrite, FiveLineDocument) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadText());
  ASSERT_TRUE(doc.AddElement("R"));
  ASSERT_TRUE(doc.AddChildElement("A", "1"));
  ASSERT_TRUE(doc.AddChildElement("B", "0"));
  EXPECT_EQ(doc.GetText(), "<R>\r\n<A>1</A>\r\n<B>0</B>\r\n</R>\r\n");
  EXPECT_FALSE(doc.AddElement("S"));  // there is a root already
}

TEST(XmlDocumentWrite, NestedDocumentWithAttributes) {
  CXmlDocument doc;
  doc.LoadText();
  ASSERT_TRUE(doc.AddElement("PROFILE"));
  ASSERT_TRUE(doc.AddAttribute("TYPE", "QUICK<&>'\""));
  ASSERT_TRUE(doc.AddChildElement("NAME", "a<b & c'\""));
  ASSERT_TRUE(doc.AddChildElement("SOURCES"));
  ASSERT_TRUE(doc.AddChildAttribute("COUNT", "2"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.AddChildElement("ITEM", "x"));
  ASSERT_TRUE(doc.AddChildAttribute("KIND", "0"));
  ASSERT_TRUE(doc.AddChildElement("ITEM"));
  ASSERT_TRUE(doc.AddChildAttribute("KIND", "1"));
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.AddChildElement("LEVEL", "9"));
  ASSERT_TRUE(doc.AddAttribute("TYPE", "second"));
  const std::string expected =
      "<PROFILE TYPE=\"QUICK&lt;&amp;&gt;&apos;&quot;\" TYPE=\"second\">\r\n"
      "<NAME>a&lt;b &amp; c'\"</NAME>\r\n"
      "<SOURCES COUNT=\"2\">\r\n"
      "<ITEM KIND=\"0\">x</ITEM>\r\n"
      "<ITEM KIND=\"1\"/>\r\n"
      "</SOURCES>\r\n"
      "<LEVEL>9</LEVEL>\r\n"
      "</PROFILE>\r\n";
  EXPECT_EQ(doc.GetText(), expected);

  // The built document reads like the loaded one: first of two equal attributes wins.
  for (int pass = 0; pass < 2; ++pass) {
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindElement("PROFILE"));
    EXPECT_EQ(doc.GetAttribute("TYPE"), "QUICK<&>'\"");
    ASSERT_TRUE(doc.FindChildElement("NAME"));
    EXPECT_EQ(doc.GetChildText(), "a<b & c'\"");
    ASSERT_TRUE(doc.FindChildElement("SOURCES"));
    EXPECT_EQ(doc.GetChildAttribute("COUNT"), "2");
    ASSERT_TRUE(doc.EnterChild());
    ASSERT_TRUE(doc.FindChildElement("ITEM"));
    EXPECT_EQ(doc.GetChildText(), "x");
    ASSERT_TRUE(doc.FindChildElement("ITEM"));
    EXPECT_EQ(doc.GetChildAttribute("KIND"), "1");
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.FindChildElement("LEVEL"));
    EXPECT_EQ(doc.GetChildText(), "9");
    ASSERT_TRUE(doc.LoadText(expected));
  }
}

TEST(XmlDocumentWrite, EmptyParentWithAttributesBecomesPair) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<R>\r\n<P a=\"1\"/>\r\n<S/>\r\n</R>\r\n"));
  ASSERT_TRUE(doc.FindChildElement("P"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.AddChildElement("C", "v"));
  EXPECT_EQ(doc.GetText(), "<R>\r\n<P a=\"1\">\r\n<C>v</C>\r\n</P>\r\n<S/>\r\n</R>\r\n");
  ASSERT_TRUE(doc.AddAttribute("b", "2"));
  ASSERT_TRUE(doc.LeaveElement());
  ASSERT_TRUE(doc.FindChildElement("S"));
  ASSERT_TRUE(doc.AddChildAttribute("z", "9"));
  EXPECT_EQ(doc.GetText(), "<R>\r\n<P a=\"1\" b=\"2\">\r\n<C>v</C>\r\n</P>\r\n<S z=\"9\"/>\r\n</R>\r\n");
}

TEST(XmlDocumentWrite, AddElementAfterFailedParseDiscardsText) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadText("garbage <A>"));
  ASSERT_TRUE(doc.AddElement("N", "t"));
  EXPECT_EQ(doc.GetText(), "<N>t</N>\r\n");
  EXPECT_TRUE(doc.HasRoot());
  EXPECT_FALSE(doc.AddChildAttribute("x", "1"));  // no current child
  CXmlDocument fresh;                             // never loaded
  EXPECT_FALSE(fresh.AddChildElement("X"));
  EXPECT_FALSE(fresh.AddAttribute("x", "1"));
  ASSERT_TRUE(fresh.AddElement("N"));
  EXPECT_EQ(fresh.GetText(), "<N/>\r\n");
}

TEST(XmlDocumentWrite, SiblingInsertedAfterCurrentElementInTheMiddle) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadText("<R>\r\n<A>1</A>\r\n<B>2</B>\r\n</R>\r\n"));
  ASSERT_TRUE(doc.FindChildElement("A"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.AddElement("M", "x"));  // sibling after A, becomes the current element
  ASSERT_TRUE(doc.AddAttribute("k", "v"));
  EXPECT_EQ(doc.GetText(), "<R>\r\n<A>1</A>\r\n<M k=\"v\">x</M>\r\n<B>2</B>\r\n</R>\r\n");
  EXPECT_TRUE(doc.FindElement("B"));
}

// Builds a document with insertions in the middle, at the end and on attributes, then checks that
// every element reads the same in the built table as in a fresh parse of the text.
TEST(XmlDocumentWrite, TableStaysConsistentWithText) {
  CXmlDocument doc;
  doc.LoadText();
  ASSERT_TRUE(doc.AddElement("R"));
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(doc.AddChildElement("C", std::to_string(i)));
    ASSERT_TRUE(doc.EnterChild());
    ASSERT_TRUE(doc.AddChildElement("G"));
    ASSERT_TRUE(doc.AddChildAttribute("n", std::to_string(i)));
    ASSERT_TRUE(doc.LeaveElement());
  }
  // Go back to the second child and grow it and its first grandchild.
  doc.ResetPosition();
  ASSERT_TRUE(doc.FindChildElement("C"));
  ASSERT_TRUE(doc.FindChildElement("C"));
  ASSERT_TRUE(doc.AddChildAttribute("long", std::string(40, 'x')));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.AddAttribute("added", "yes"));
  ASSERT_TRUE(doc.FindChildElement("G"));
  ASSERT_TRUE(doc.EnterChild());
  ASSERT_TRUE(doc.AddChildElement("D", "deep"));
  ASSERT_TRUE(doc.AddElement("G2", "after"));

  std::function<std::string(CXmlDocument&)> dump = [&](CXmlDocument& d) {
    std::string out;
    std::function<void()> walk = [&] {
      while (d.FindChildElement()) {
        out += "[" + d.GetChildText() + "|" + d.GetChildAttribute("n") + d.GetChildAttribute("long") +
               d.GetChildAttribute("added");
        ASSERT_TRUE(d.EnterChild());
        walk();
        ASSERT_TRUE(d.LeaveElement());
        out += "]";
      }
    };
    d.ResetPosition();
    EXPECT_TRUE(d.FindElement());
    walk();
    return out;
  };
  const std::string built = dump(doc);
  CXmlDocument parsed;
  ASSERT_TRUE(parsed.LoadText(doc.GetText()));
  EXPECT_EQ(dump(parsed), built);
  EXPECT_NE(built.find("[deep|]"), std::string::npos);
  EXPECT_NE(built.find("[after|]"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
