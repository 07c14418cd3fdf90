#include "app/FormatTexts.h"

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

#include "app/UserPrompts.h"
#include "formats/TextFile.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

struct XmlTextCase {
  XmlParseError error;
  const char* text;
};

std::ostream& operator<<(std::ostream& out, const XmlTextCase& c) { return out << c.text; }

class XmlErrorTextTest : public ::testing::TestWithParam<XmlTextCase> {};

TEST_P(XmlErrorTextTest, NamesTheOpenElementWhereTheTextHasOne) {
  EXPECT_EQ(XmlErrorText(GetParam().error), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, XmlErrorTextTest,
    ::testing::Values(XmlTextCase{{XmlError::None, ""}, ""},
                      XmlTextCase{{XmlError::ElementTagNotFound, ""}, "Element tag not found"},
                      XmlTextCase{{XmlError::AbruptEnd, ""}, "Abrupt end within tag"},
                      XmlTextCase{{XmlError::TagStartsWithQuote, ""}, "Tag starts with quote"},
                      XmlTextCase{{XmlError::EndOfTagNotFound, ""}, "End of tag not found"},
                      XmlTextCase{{XmlError::EndTagNotFound, "R"}, "End tag of R element not found"},
                      XmlTextCase{{XmlError::ExpectingEndTag, "B"}, "Expecting end tag of element B"},
                      XmlTextCase{{XmlError::EndTagMismatch, "A"}, "End tag does not correspond to A"},
                      XmlTextCase{{XmlError::EndTagNotCompleted, "%s"}, "End tag not completed for element %s"}));

struct TitledPrompts : SilentPrompts {
  std::vector<std::pair<std::string, std::string>> shown;  // title, text
  void ShowMessage(const std::string& text, const std::string& title) override { shown.emplace_back(title, text); }
};

TEST(LineCutWarning, NamesTheCutLineAndTheBufferSize) {
  test::TempDir dir;
  test::WriteFile(dir / "long", "a\n" + std::string(3000, 'x') + "\nb\n");
  CTextFile file(2048);
  ASSERT_TRUE(file.OpenReadOnly((dir / "long").string(), kNoSizeLimit));
  TitledPrompts prompts;
  std::string line;
  while (file.ReadLine(line)) {
    if (file.LineWasCut()) ShowLineCutWarning(prompts, file);
  }
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].first, "Warning !");
  EXPECT_EQ(prompts.shown[0].second, "m_pBuffer overflow in line 2 (line length over 2048 chars)");
}

}  // namespace
}  // namespace tarnwick
