#include "app/Utf8Text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

struct Utf8Case {
  std::string text;
  std::size_t firstInvalid;
};

class FindInvalidUtf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(FindInvalidUtf8Test, TakesOnlyWellFormedSequences) {
  EXPECT_EQ(FindInvalidUtf8(GetParam().text), GetParam().firstInvalid) << GetParam().text;
}

constexpr std::size_t kValid = std::string::npos;

INSTANTIATE_TEST_SUITE_P(
    Texts, FindInvalidUtf8Test,
    ::testing::Values(Utf8Case{"plain", kValid}, Utf8Case{"\xc3\xa4 \xe2\x82\xac \xf0\x9f\x98\x80", kValid},
                      Utf8Case{"latin1 \xe9t\xe9", 7}, Utf8Case{"overlong \xc0\xaf", 9},
                      Utf8Case{"overlong3 \xe0\x80\xaf", 10}, Utf8Case{"surrogate \xed\xa0\x80", 10},
                      Utf8Case{"too big \xf4\x90\x80\x80", 8}, Utf8Case{"cut \xe2\x82", 4}, Utf8Case{"lone \x80", 5}));

TEST(ReadableUtf8Test, ShowsEveryHostileByteAsItsHexAndLeavesValidTextAlone) {
  EXPECT_EQ(ReadableUtf8("a\x1b]0;t\x07 \x7f \xe9 \xc2\x9b \xc3\xa4\nb\\c", true),
            "a\\x1B]0;t\\x07 \\x7F \\xE9 \\xC2\\x9B \xc3\xa4\nb\\c");
  EXPECT_EQ(ReadableUtf8("one\ntwo", false), "one\\x0Atwo");
  EXPECT_EQ(FindInvalidUtf8(ReadableUtf8("\xff\xfe\xc0", true)), kValid);
}

}  // namespace
}  // namespace tarnwick
