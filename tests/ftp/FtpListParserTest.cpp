#include "ftp/FtpListParser.h"

#include <gtest/gtest.h>

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

FtpFileInfo Line(std::string_view line, FtpLineKind expected = FtpLineKind::Entry,
                 std::time_t now = Local(2024, 3, 15, 12, 0)) {
  FtpFileInfo info;
  EXPECT_EQ(ParseListLine(line, now, info), expected) << line;
  return info;
}

FtpFileInfo Mlsd(std::string_view line, FtpLineKind expected = FtpLineKind::Entry) {
  FtpFileInfo info;
  EXPECT_EQ(ParseMlsdLine(line, info), expected) << line;
  return info;
}

TEST(FtpListParserTest, MlsdFactsGiveTypeSizeAndUtcTime) {
  FtpFileInfo file = Mlsd("type=file;size=5000000000;modify=20240102030405.123;perm=r; report 2024; final.txt");
  EXPECT_EQ(file.name, "report 2024; final.txt");
  EXPECT_FALSE(file.isDirectory);
  EXPECT_EQ(file.size, 5000000000u);
  EXPECT_TRUE(file.hasTime);
  EXPECT_EQ(file.modified, 1704164645);
  EXPECT_FALSE(file.unparsed);

  FtpFileInfo folder = Mlsd("Type=DIR;Modify=20240102030405; sub");
  EXPECT_TRUE(folder.isDirectory);
  EXPECT_EQ(folder.name, "sub");

  // A leading blank in a name is part of it.
  EXPECT_EQ(Mlsd("type=file;size=1;  spaced").name, " spaced");
  // A bad time is no time, not a failure.
  EXPECT_FALSE(Mlsd("type=file;modify=20241341000000; x").hasTime);

  Mlsd("type=cdir;modify=20240102030405; /pub", FtpLineKind::Skip);
  Mlsd("type=pdir; ..", FtpLineKind::Skip);
  Mlsd("type=dir; .", FtpLineKind::Skip);
  Mlsd("", FtpLineKind::Skip);
  EXPECT_EQ(Mlsd("size=12; no type", FtpLineKind::Unparsed).name, "size=12; no type");
  EXPECT_TRUE(Mlsd("just-a-name", FtpLineKind::Unparsed).unparsed);
}

TEST(FtpListParserTest, UnixLinesKeepBlanksInNames) {
  FtpFileInfo file = Line("-rw-r--r--   1 owner group  5000000000 Jan  2  2023 my  file name.txt");
  EXPECT_EQ(file.name, "my  file name.txt");
  EXPECT_FALSE(file.isDirectory);
  EXPECT_EQ(file.size, 5000000000u);
  EXPECT_EQ(file.modified, Local(2023, 1, 2));

  FtpFileInfo folder = Line("drwxr-xr-x    3 1001     1001         4096 Mar 10 09:30 Sub Folder");
  EXPECT_TRUE(folder.isDirectory);
  EXPECT_EQ(folder.name, "Sub Folder");
  EXPECT_EQ(folder.modified, Local(2024, 3, 10, 9, 30));

  // Without a year the date is the latest one not after today (plus a day's grace for zones).
  EXPECT_EQ(Line("-rw-r--r-- 1 u g 1 Dec 24 18:00 gift").modified, Local(2023, 12, 24, 18, 0));
  EXPECT_EQ(Line("-rw-r--r-- 1 u g 1 Mar 16 08:00 tomorrow").modified, Local(2024, 3, 16, 8, 0));

  // No group column, ACL marker, symbolic link, device numbers.
  EXPECT_EQ(Line("-rw-r--r--+ 1 ftp 12 Feb 29  2020 leap").size, 12u);
  EXPECT_EQ(Line("lrwxrwxrwx 1 u g 7 Jan  1  2021 latest -> v1.2/app").name, "latest");
  EXPECT_EQ(Line("crw-rw-rw- 1 root root 1, 3 Jan  1  2021 null").name, "null");

  // Blanks before the permissions, as some servers indent their lines, change nothing.
  EXPECT_TRUE(Line("  drwxr-xr-x 2 u g 4096 Jan  1  2021 indented").isDirectory);
  EXPECT_EQ(Line(" lrwxrwxrwx 1 u g 7 Jan  1  2021 link -> target").name, "link");

  Line("total 1234", FtpLineKind::Skip);
  Line("drwxr-xr-x 2 u g 4096 Jan  1  2021 .", FtpLineKind::Skip);
  Line("drwxr-xr-x 2 u g 4096 Jan  1  2021 ..", FtpLineKind::Skip);
  Line("   ", FtpLineKind::Skip);
}

TEST(FtpListParserTest, DosLinesFromWindowsServers) {
  FtpFileInfo folder = Line("01-02-23  03:04PM       <DIR>          Program Files");
  EXPECT_TRUE(folder.isDirectory);
  EXPECT_EQ(folder.name, "Program Files");
  EXPECT_EQ(folder.modified, Local(2023, 1, 2, 15, 4));

  FtpFileInfo file = Line("12-31-1999  12:05AM           5000000000 big file.bak");
  EXPECT_FALSE(file.isDirectory);
  EXPECT_EQ(file.size, 5000000000u);
  EXPECT_EQ(file.name, "big file.bak");
  EXPECT_EQ(file.modified, Local(1999, 12, 31, 0, 5));

  EXPECT_EQ(Line("07-04-85  12:30PM 1 noon").modified, Local(1985, 7, 4, 12, 30));
  EXPECT_EQ(Line("07-04-2021  17:45 10 clock24").modified, Local(2021, 7, 4, 17, 45));
  Line("01-02-23  03:04PM       <DIR>          ..", FtpLineKind::Skip);
  Line("01-02-23  13:04PM 1 bad-hour", FtpLineKind::Unparsed);
  Line("01-02-23  03:04PM       <DIR>", FtpLineKind::Unparsed);
}

TEST(FtpListParserTest, DosLinesWithTheYearFirst) {
  FtpFileInfo folder = Line("2024-03-15  02:30PM       <DIR>          name");
  EXPECT_FALSE(folder.unparsed);
  EXPECT_TRUE(folder.isDirectory);
  EXPECT_EQ(folder.name, "name");
  EXPECT_EQ(folder.modified, Local(2024, 3, 15, 14, 30));

  FtpFileInfo file = Line("2024-03-15  14:30       12345 my  file.txt");
  EXPECT_FALSE(file.isDirectory);
  EXPECT_EQ(file.size, 12345u);
  EXPECT_EQ(file.name, "my  file.txt");
  EXPECT_TRUE(file.hasTime);
  EXPECT_EQ(file.modified, Local(2024, 3, 15, 14, 30));

  EXPECT_EQ(Line("1999/12/31  11:59PM 7 slashes").modified, Local(1999, 12, 31, 23, 59));
  // Month and day must not swap places with the year first.
  EXPECT_EQ(Line("2024-01-02  00:00 1 jan2").modified, Local(2024, 1, 2));
  Line("2024-03-15  02:30PM       <DIR>          .", FtpLineKind::Skip);
  for (std::string_view line : {"2024-03/15  14:30 1 mixed", "2024-3-15  14:30 1 short", "202-03-15  14:30 1 x",
                                "2024-03-15  14:30", "2024-03-15  2:30XM 1 x"}) {
    Line(line, FtpLineKind::Unparsed);
  }
}

TEST(FtpListParserTest, UnreadableLinesComeBackWhole) {
  for (std::string_view line : {"some server banner text", "-rw-r--r-- 1 u g 12 Foo  1  2021 x",
                                "drwxr-xr-x 1 u g 12 Jan  1  2021", "12 apples x.txt", "+i8388621.48594,m825718503,r,s280, n"}) {
    FtpFileInfo info = Line(line, FtpLineKind::Unparsed);
    EXPECT_TRUE(info.unparsed);
    EXPECT_EQ(info.name, line);
    EXPECT_EQ(info.size, 0u);
    EXPECT_FALSE(info.hasTime);
  }
  // What a UNIX-server listing then takes as the name.
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

  const std::vector<FtpFileInfo> facts =
      ParseMlsdListing("type=cdir; /x\r\ntype=file;size=3; a\r\ntype=dir; b c\r\n");
  ASSERT_EQ(facts.size(), 2u);
  EXPECT_EQ(facts[1].name, "b c");
  EXPECT_TRUE(ParseMlsdListing("").empty());
}

}  // namespace
}  // namespace tarnwick
