#include "app/Wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(Wildcard, StarDotStarMatchesEveryName) {
  for (const char* name : {"a.txt", "README", ".hidden", "x.tar.gz", "a b.c"}) {
    EXPECT_TRUE(MatchesWildcard("*.*", name)) << name;
    EXPECT_TRUE(MatchesWildcard("*", name)) << name;
  }
}

TEST(Wildcard, StarAndQuestionMark) {
  EXPECT_TRUE(MatchesWildcard("*.txt", "notes.txt"));
  EXPECT_FALSE(MatchesWildcard("*.txt", "notes.txt.bak"));
  EXPECT_TRUE(MatchesWildcard("report?.doc", "report1.doc"));
  EXPECT_FALSE(MatchesWildcard("report?.doc", "report.doc"));
  EXPECT_FALSE(MatchesWildcard("report?.doc", "report12.doc"));
  EXPECT_TRUE(MatchesWildcard("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(MatchesWildcard("a*b*c", "aXXbYY"));
  EXPECT_TRUE(MatchesWildcard("", ""));
  EXPECT_FALSE(MatchesWildcard("", "a"));
}

TEST(Wildcard, IgnoresLetterCase) {
  EXPECT_TRUE(MatchesWildcard("*.TXT", "notes.txt"));
  EXPECT_TRUE(MatchesWildcard("Notes.*", "NOTES.md"));
}

TEST(Wildcard, TrailingDotStarAlsoMatchesNameWithoutExtension) {
  EXPECT_TRUE(MatchesWildcard("Makefile.*", "Makefile"));
  EXPECT_TRUE(MatchesWildcard("data.*", "data.csv"));
  EXPECT_FALSE(MatchesWildcard("data.*", "database"));
}

TEST(Wildcard, TrailingDotMatchesOnlyNamesWithoutExtension) {
  EXPECT_TRUE(MatchesWildcard("*.", "Makefile"));
  EXPECT_TRUE(MatchesWildcard("read*.", "README"));
  EXPECT_FALSE(MatchesWildcard("*.", "notes.txt"));
  EXPECT_FALSE(MatchesWildcard("read*.", "readme.md"));
}

TEST(Wildcard, LongPathologicalMaskStaysFast) {
  std::string name(20000, 'a');
  std::string mask;
  for (int i = 0; i < 50; ++i) mask += "*a";
  mask += "*b";
  EXPECT_FALSE(MatchesWildcard(mask, name));
}

}  // namespace
}  // namespace tarnwick
