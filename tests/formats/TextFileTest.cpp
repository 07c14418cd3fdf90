#include "formats/TextFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <system_error>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The lines of a file; `cut` receives the numbers of the lines that were cut at the buffer's size.
std::vector<std::string> ReadAllLines(const std::filesystem::path& path, int32_t capacity = 2048,
                                      std::vector<int32_t>* cut = nullptr) {
  CTextFile file(capacity);
  EXPECT_TRUE(file.Open(path.string()));
  std::vector<std::string> lines;
  std::string line;
  while (file.ReadLine(line)) {
    lines.push_back(line);
    if (file.LineWasCut() && cut != nullptr) cut->push_back(file.LineNumber());
  }
  EXPECT_FALSE(file.ReadLine(line));
  EXPECT_FALSE(file.LineWasCut());
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextFileRead, BreaksAndBlankLines) {
  TempDir dir;
  WriteFile(dir / "lf", "one\ntwo\n\n\nthree");
  WriteFile(dir / "crlf", "\r\none\r\ntwo\r\n\r\nthree\r\n");
  WriteFile(dir / "mixed", "one\n\rtwo\r\rthree\n");
  WriteFile(dir / "single", "only");
  WriteFile(dir / "empty", "");
  WriteFile(dir / "breaks", "\r\n\n\r");
  const Lines expected = {"one", "two", "three"};
  EXPECT_EQ(ReadAllLines(dir / "lf"), expected);
  EXPECT_EQ(ReadAllLines(dir / "crlf"), expected);
  EXPECT_EQ(ReadAllLines(dir / "mixed"), expected);
  EXPECT_EQ(ReadAllLines(dir / "single"), Lines{"only"});
  EXPECT_EQ(ReadAllLines(dir / "empty"), Lines{});
  EXPECT_EQ(ReadAllLines(dir / "breaks"), Lines{});
  // Lines that straddle buffer refills come back whole.
  EXPECT_EQ(ReadAllLines(dir / "crlf", 6), expected);
  EXPECT_EQ(ReadAllLines(dir / "mixed", 7), expected);
}

TEST(TextFileRead, OverlongLineIsCutAndSaysSo) {
  TempDir dir;
  WriteFile(dir / "long", "a\n" + std::string(3000, 'x') + "\nb\n" + std::string(2047, 'y') + "\n");
  std::vector<int32_t> cut;
  const Lines lines = ReadAllLines(dir / "long", 2048, &cut);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], std::string(2047, 'x'));
  EXPECT_EQ(lines[2], std::string(953, 'x'));
  EXPECT_EQ(lines[3], "b");
  // Only the second line was cut; one that just fits the buffer is not.
  EXPECT_EQ(cut, std::vector<int32_t>{2});

  WriteFile(dir / "tiny", "abcdefg");
  EXPECT_EQ(ReadAllLines(dir / "tiny", 3), (Lines{"ab", "cd", "ef", "g"}));
  EXPECT_EQ(ReadAllLines(dir / "tiny", 0), (Lines{"a", "b", "c", "d", "e", "f", "g"}));
}

// ReadWholeLine: every line whole and empty lines kept, whatever the buffer's size.
struct WholeLinesCase {
  const char* what;
  std::string text;
  Lines expected;
};

class TextFileWholeLines : public ::testing::TestWithParam<WholeLinesCase> {};

TEST_P(TextFileWholeLines, AreTheTextBetweenBreaks) {
  TempDir dir;
  WriteFile(dir / "f", GetParam().text);
  // 2: a buffer that holds one byte at a time puts every break on a refill.
  for (const int32_t capacity : {2, 3, 5, 2048}) {
    CTextFile file(capacity);
    ASSERT_TRUE(file.OpenReadOnly((dir / "f").string(), kNoSizeLimit));
    Lines lines;
    std::string line;
    while (file.ReadWholeLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, GetParam().expected) << "capacity " << capacity;
    EXPECT_FALSE(file.ReadWholeLine(line));
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, TextFileWholeLines,
                         ::testing::Values(WholeLinesCase{"empty", "", {}},
                                           WholeLinesCase{"no final break", "a\nb", {"a", "b"}},
                                           WholeLinesCase{"empty lines kept", "a\n\n\nb\n", {"a", "", "", "b"}},
                                           WholeLinesCase{"a lone break is one empty line", "\n", {""}},
                                           WholeLinesCase{"CR LF is one break", "a\r\n\r\nb\r\n", {"a", "", "b"}},
                                           WholeLinesCase{"CR alone is a break", "a\rb\r\rc", {"a", "b", "", "c"}},
                                           WholeLinesCase{"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
                                           WholeLinesCase{"a line far over the buffer",
                                                          std::string(5000, 'x') + "\ny",
                                                          {std::string(5000, 'x'), "y"}}),
                         [](const ::testing::TestParamInfo<WholeLinesCase>& c) {
                           std::string name = c.param.what;
                           for (char& letter : name)
                             letter = std::isalnum(static_cast<unsigned char>(letter)) ? letter : '_';
                           return name;
                         });

TEST(TextFileRead, RewindStartsOver) {
  TempDir dir;
  WriteFile(dir / "f", "1\n2\n");
  CTextFile file;
  ASSERT_TRUE(file.Open((dir / "f").string()));
  std::string line;
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(file.LineNumber(), 1);
  file.Rewind();
  EXPECT_EQ(file.LineNumber(), 0);
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(line, "1");
}

TEST(TextFileWrite, WritesBytesAsTheyAreWithoutTruncatingOnOpen) {
  TempDir dir;
  const auto path = (dir / "log").string();
  WriteFile(path, "old content");
  CTextFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(ReadFile(path), "old content");
  file.Truncate();
  file.WriteString("a\nb");
  file.WriteString("\n");
  file.Close();
  EXPECT_EQ(ReadFile(path), "a\nb\n");

  ASSERT_TRUE(file.Open((dir / "created").string()));
  EXPECT_TRUE(std::filesystem::exists(dir / "created"));
  EXPECT_FALSE(file.Open((dir / "no" / "such").string()));
  EXPECT_FALSE(file.OpenReadOnly((dir / "absent").string(), kNoSizeLimit));
}

TEST(TextFileErrors, ReportedAsSystemErrors) {
  TempDir dir;
  WriteFile(dir / "f", "x\n");
  CTextFile file;
  std::string line;
  EXPECT_THROW(file.ReadLine(line), std::system_error);
  EXPECT_THROW(file.WriteString("x"), std::system_error);
  ASSERT_TRUE(file.OpenReadOnly((dir / "f").string(), kNoSizeLimit));
  EXPECT_THROW(file.WriteString("x"), std::system_error);
  // A folder is turned down at the open; a file that grows past its limit once open fails the read.
  EXPECT_EQ(file.OpenReadOnly(dir.path().string(), kNoSizeLimit).refusal, IoResult::Refusal::NotRegularFile);
  ASSERT_TRUE(file.OpenReadOnly((dir / "f").string(), 2));
  WriteFile(dir / "f", "xyz\n");
  EXPECT_THROW(file.ReadLine(line), std::system_error);
}

}  // namespace
}  // namespace tarnwick
