#include "app/ControlCharacters.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(ControlCharactersTest, EscapedTextIsOnePrintableLineThatStillTellsTheBytesApart) {
  const std::string hostile = std::string("a\nBACKUPEND\x1b]0;title\x07") + '\0' + "\\x\x7f";
  EXPECT_TRUE(HasControlCharacter(hostile));
  const std::string escaped = EscapeControlCharacters(hostile);
  EXPECT_FALSE(HasControlCharacter(escaped));
  EXPECT_EQ(escaped, "a\\x0ABACKUPEND\\x1B]0;title\\x07\\x00\\\\x\\x7F");
  EXPECT_NE(EscapeControlCharacters("\\x0A"), EscapeControlCharacters("\n")) << "a backslash is escaped too";
  EXPECT_EQ(EscapeControlCharacters("plain ä name"), "plain ä name") << "clean text is left alone";
}

TEST(ControlCharactersTest, AMessageKeepsItsLinesAndBackslashes) {
  EXPECT_EQ(EscapeControlCharactersInMessage("Cannot read \"a\x1b[2Jb\\c\".\nNo such file\r."),
            "Cannot read \"a\\x1B[2Jb\\c\".\nNo such file\\x0D.");
}

}  // namespace
}  // namespace tarnwick
