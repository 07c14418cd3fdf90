#include "ftp/FtpListParser.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>

namespace tarnwick {
namespace {

// Local wall-clock time as the LIST parsers read it.
std::time_t Local(int year, int month, int day, int hour = 0, int minute = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// One listing line and what its parser must make of it; unset fields are not checked.
struct LineCase {
  std::string_view line;
  FtpLineKind kind = FtpLineKind::Entry;
  std::optional<std::string> name = {};
  std::optional<bool> isDirectory = {};
  std::optional<std::uint64_t> size = {};
  std::optional<std::array<int, 5>> local = {};  // year, month, day, hour, minute (LIST: local time)
  std::optional<std::time_t> utc = {};           // MLSD times
  std::optional<bool> hasTime = {};
  std::optional<bool> unparsed = {};
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << '"' << c.line << '"'; }

// A line that cannot be read comes back whole, with no other facts.
LineCase Whole(std::string_view line) {
  return {.line = line,
          .kind = FtpLineKind::Unparsed,
          .name = std::string(line),
          .size = 0,
          .hasTime = false,
          .unparsed = true};
}

// Compares a fact only when the case names it.
template <typename Expected, typename Actual>
void ExpectIfNamed(const std::optional<Expected>& expected, const Actual& actual, const char* fact) {
  if (expected) {
    EXPECT_EQ(actual, *expected) << fact;
  }
}

void ExpectFacts(const LineCase& c, FtpLineKind kind, const FtpFileInfo& info) {
  EXPECT_EQ(kind, c.kind);
  ExpectIfNamed(c.name, info.name, "name");
  ExpectIfNamed(c.isDirectory, info.isDirectory, "isDirectory");
  ExpectIfNamed(c.size, info.size, "size");
  if (c.local) {
    const auto [year, month, day, hour, minute] = *c.local;
    EXPECT_EQ(info.modified, Local(year, month, day, hour, minute));
  }
  ExpectIfNamed(c.utc, info.modified, "modified");
  ExpectIfNamed(c.hasTime, info.hasTime, "hasTime");
  ExpectIfNamed(c.unparsed, info.unparsed, "unparsed");
}

class MlsdLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(MlsdLineTest, FactsGiveTypeSizeAndUtcTime) {
  FtpFileInfo info;
  const FtpLineKind kind = ParseMlsdLine(GetParam().line, info);
  ExpectFacts(GetParam(), kind, info);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MlsdLineTest,
    ::testing::Values(
        LineCase{.line = "type=file;size=5000000000;modify=20240102030405.123;perm=r; report 2024; final.txt",
                 .name = "report 2024; final.txt",
                 .isDirectory = false,
                 .size = 5000000000u,
                 .utc = 1704164645,
                 .hasTime = true,
                 .unparsed = false},
        LineCase{.line = "Type=DIR;Modify=20240102030405; sub", .name = "sub", .isDirectory = true},
        // A leading blank in a name is part of it.
        LineCase{.line = "type=file;size=1;  spaced", .name = " spaced"},
        // A bad time is no time, not a failure.
        LineCase{.line = "type=file;modify=20241341000000; x", .hasTime = false},
        LineCase{.line = "type=cdir;modify=20240102030405; /pub", .kind = FtpLineKind::Skip},
        LineCase{.line = "type=pdir; ..", .kind = FtpLineKind::Skip},
        LineCase{.line = "type=dir; .", .kind = FtpLineKind::Skip}, LineCase{.line = "", .kind = FtpLineKind::Skip},
        LineCase{.line = "size=12; no type", .kind = FtpLineKind::Unparsed, .name = "size=12; no type"},
        // Lines without facts are the tails of names that held a line break.
        LineCase{.line = "just-a-name", .kind = FtpLineKind::Skip},
        LineCase{.line = " leading blank", .kind = FtpLineKind::Skip},
        LineCase{.line = "half.txt 2024; size=1", .kind = FtpLineKind::Skip}));

class ListLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListLineTest, GivesTheEntryItsServerMeant) {
  FtpFileInfo info;
  const FtpLineKind kind = ParseListLine(GetParam().line, Local(2024, 3, 15, 12, 0), info);
  ExpectFacts(GetParam(), kind, info);
}

using Date = std::array<int, 5>;

INSTANTIATE_TEST_SUITE_P(
    UnixKeepsBlanksInNames, ListLineTest,
    ::testing::Values(LineCase{.line = "-rw-r--r--   1 owner group  5000000000 Jan  2  2023 my  file name.txt",
                               .name = "my  file name.txt",
                               .isDirectory = false,
                               .size = 5000000000u,
                               .local = Date{2023, 1, 2, 0, 0}},
                      LineCase{.line = "drwxr-xr-x    3 1001     1001         4096 Mar 10 09:30 Sub Folder",
                               .name = "Sub Folder",
                               .isDirectory = true,
                               .local = Date{2024, 3, 10, 9, 30}},
                      // Without a year the date is the latest one not after today (plus a day's grace for zones).
                      LineCase{.line = "-rw-r--r-- 1 u g 1 Dec 24 18:00 gift", .local = Date{2023, 12, 24, 18, 0}},
                      LineCase{.line = "-rw-r--r-- 1 u g 1 Mar 16 08:00 tomorrow", .local = Date{2024, 3, 16, 8, 0}},
                      // No group column, ACL marker, symbolic link, device numbers.
                      LineCase{.line = "-rw-r--r--+ 1 ftp 12 Feb 29  2020 leap", .size = 12u},
                      LineCase{.line = "lrwxrwxrwx 1 u g 7 Jan  1  2021 latest -> v1.2/app", .name = "latest"},
                      LineCase{.line = "crw-rw-rw- 1 root root 1, 3 Jan  1  2021 null", .name = "null"},
                      // Blanks before the permissions, as some servers indent their lines, change nothing.
                      LineCase{.line = "  drwxr-xr-x 2 u g 4096 Jan  1  2021 indented", .isDirectory = true},
                      LineCase{.line = " lrwxrwxrwx 1 u g 7 Jan  1  2021 link -> target", .name = "link"},
                      LineCase{.line = "total 1234", .kind = FtpLineKind::Skip},
                      LineCase{.line = "drwxr-xr-x 2 u g 4096 Jan  1  2021 .", .kind = FtpLineKind::Skip},
                      LineCase{.line = "drwxr-xr-x 2 u g 4096 Jan  1  2021 ..", .kind = FtpLineKind::Skip},
                      LineCase{.line = "   ", .kind = FtpLineKind::Skip}));

INSTANTIATE_TEST_SUITE_P(
    DosFromWindowsServers, ListLineTest,
    ::testing::Values(LineCase{.line = "01-02-23  03:04PM       <DIR>          Program Files",
                               .name = "Program Files",
                               .isDirectory = true,
                               .local = Date{2023, 1, 2, 15, 4}},
                      LineCase{.line = "12-31-1999  12:05AM           5000000000 big file.bak",
                               .name = "big file.bak",
                               .isDirectory = false,
                               .size = 5000000000u,
                               .local = Date{1999, 12, 31, 0, 5}},
                      LineCase{.line = "07-04-85  12:30PM 1 noon", .local = Date{1985, 7, 4, 12, 30}},
                      LineCase{.line = "07-04-2021  17:45 10 clock24", .local = Date{2021, 7, 4, 17, 45}},
                      LineCase{.line = "01-02-23  03:04PM       <DIR>          ..", .kind = FtpLineKind::Skip},
                      LineCase{.line = "01-02-23  13:04PM 1 bad-hour", .kind = FtpLineKind::Unparsed},
                      LineCase{.line = "01-02-23  03:04PM       <DIR>", .kind = FtpLineKind::Unparsed}));

INSTANTIATE_TEST_SUITE_P(
    DosWithTheYearFirst, ListLineTest,
    ::testing::Values(LineCase{.line = "2024-03-15  02:30PM       <DIR>          name",
                               .name = "name",
                               .isDirectory = true,
                               .local = Date{2024, 3, 15, 14, 30},
                               .unparsed = false},
                      LineCase{.line = "2024-03-15  14:30       12345 my  file.txt",
                               .name = "my  file.txt",
                               .isDirectory = false,
                               .size = 12345u,
                               .local = Date{2024, 3, 15, 14, 30},
                               .hasTime = true},
                      LineCase{.line = "1999/12/31  11:59PM 7 slashes", .local = Date{1999, 12, 31, 23, 59}},
                      // Month and day must not swap places with the year first.
                      LineCase{.line = "2024-01-02  00:00 1 jan2", .local = Date{2024, 1, 2, 0, 0}},
                      LineCase{.line = "2024-03-15  02:30PM       <DIR>          .", .kind = FtpLineKind::Skip},
                      LineCase{.line = "2024-03/15  14:30 1 mixed", .kind = FtpLineKind::Unparsed},
                      LineCase{.line = "2024-3-15  14:30 1 short", .kind = FtpLineKind::Unparsed},
                      LineCase{.line = "202-03-15  14:30 1 x", .kind = FtpLineKind::Unparsed},
                      LineCase{.line = "2024-03-15  14:30", .kind = FtpLineKind::Unparsed},
                      LineCase{.line = "2024-03-15  2:30XM 1 x", .kind = FtpLineKind::Unparsed}));

INSTANTIATE_TEST_SUITE_P(UnreadableComeBackWhole, ListLineTest,
                         ::testing::Values(Whole("some server banner text"),
                                           Whole("-rw-r--r-- 1 u g 12 Foo  1  2021 x"),
                                           Whole("drwxr-xr-x 1 u g 12 Jan  1  2021"), Whole("12 apples x.txt"),
                                           Whole("+i8388621.48594,m825718503,r,s280, n")));

TEST(FtpListParserTest, UnreadableLinesAreNamedAsAUnixServerWould) {
  EXPECT_EQ(UnixNameOfUnparsedLine("some server x.txt"), "x.txt");
  EXPECT_EQ(UnixNameOfUnparsedLine("x.txt"), "x.txt");
  EXPECT_EQ(UnixNameOfUnparsedLine(" x.txt"), " x.txt");
}

TEST(FtpListParserTest, WholeRepliesSplitOnEitherLineEnd) {
  const std::string reply =
      "total 8\r\n"
      "drwxr-xr-x 2 u g 4096 Jan  1  2021 docs\r\n"
      "odd line\n"
      "-rw-r--r-- 1 u g 3 Jan  1  2021 a b\n";
  const std::vector<FtpFileInfo> entries = ParseListListing(reply, Local(2024, 3, 15));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "docs");
  EXPECT_TRUE(entries[1].unparsed);
  EXPECT_EQ(entries[1].name, "odd line");
  EXPECT_EQ(entries[2].name, "a b");

  const std::vector<FtpFileInfo> facts = ParseMlsdListing("type=cdir; /x\r\ntype=file;size=3; a\r\ntype=dir; b c\r\n");
  ASSERT_EQ(facts.size(), 2u);
  EXPECT_EQ(facts[1].name, "b c");
  EXPECT_TRUE(ParseMlsdListing("").empty());
}

TEST(FtpListParserTest, AnMlsdNameWithALineBreakForgesNoEntry) {
  // A CR inside a name stays in it (a control byte the walk refuses); an LF splits the line, and its
  // tail, facts-free, is no entry of its own.
  const std::vector<FtpFileInfo> entries = ParseMlsdListing(
      "type=file;size=1; a\rtype=file;size=7; cr.txt\r\n"
      "type=file;size=9; evil\nforged.txt\r\n"
      "type=file;size=2; good\r\n");
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const FtpFileInfo& entry : entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a\rtype=file;size=7; cr.txt", "evil", "good"}));
}

}  // namespace
}  // namespace tarnwick
