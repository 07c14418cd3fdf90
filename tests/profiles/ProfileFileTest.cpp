#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>

#include "ProfileTestSupport.h"
#include "app/ProgramFolder.h"
#include "profiles/Profile.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::AsReadBack;
using test::ExpectSameProfile;
using test::ReadFile;
using test::SampleQuickProfile;
using test::TestNow;
using test::WriteFile;

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolderPath(dir.path()); }

  // Writes `p` under its name and reads it back.
  Profile RoundTrip(Profile& p) {
    ProfilePathFor(p);
    const Status written = WriteProfile(p, TestNow());
    EXPECT_TRUE(written.ok()) << written.ToString();
    Profile read;
    const Status status = ReadProfile(p.filePath, read, TestNow());
    EXPECT_TRUE(status.ok()) << status.ToString();
    return read;
  }

  // Reads a profile file holding `text`.
  Profile ReadText(const std::string& text) {
    const std::string path = (dir / "t.pfl").string();
    WriteFile(path, text);
    Profile read;
    EXPECT_TRUE(ReadProfile(path, read, TestNow()).ok());
    return read;
  }

  test::TempDir dir;
};

TEST_F(ProfileFileTest, WritesTheElementTreeInItsOrder) {
  Profile p = SampleQuickProfile("Docs & more");
  ProfilePathFor(p);
  ASSERT_TRUE(WriteProfile(p, TestNow()).ok());
  EXPECT_EQ(ReadFile(p.filePath), Lines({R"(<PROFILE TYPE="QUICKLANCH">)",
                                         "<NAME>Docs &amp; more</NAME>",
                                         "<LOCALSRC>",
                                         R"(<SUBITEM TYPE="LOCALFOLDER">)",
                                         "<FILTER>+[*.txt]-[~*]</FILTER>",
                                         "<RECURSIVE>1</RECURSIVE>",
                                         "<FILEURL>/home/u/docs</FILEURL>",
                                         "</SUBITEM>",
                                         R"(<SUBITEM TYPE="LOCALFILE">)",
                                         "<FILEURL>/home/u/a&lt;b&gt;.txt</FILEURL>",
                                         "</SUBITEM>",
                                         "</LOCALSRC>",
                                         "<REMOTESRC>",
                                         R"(<FTPITEM TYPE="WINDOWS">)",
                                         "<HOSTNAME>ftp.example.org</HOSTNAME>",
                                         "<PORT>21</PORT>",
                                         "<USERNAME>anna</USERNAME>",
                                         R"(<PASSWORD>pw"1</PASSWORD>)",
                                         R"(<SUBITEM TYPE="FTPFILE">)",
                                         "<FILEURL>/pub/x.bin</FILEURL>",
                                         "</SUBITEM>",
                                         "</FTPITEM>",
                                         "</REMOTESRC>",
                                         R"(<DESTINATION TYPE="FTPFOLDER">)",
                                         "<FTPITEM>",
                                         "<HOSTNAME>backup.example.org</HOSTNAME>",
                                         "<PORT>2121</PORT>",
                                         "<USERNAME>bob</USERNAME>",
                                         "<PASSWORD>secret</PASSWORD>",
                                         "<PASSIVE>1</PASSIVE>",
                                         "</FTPITEM>",
                                         "<FILEURL>/store</FILEURL>",
                                         "</DESTINATION>",
                                         "<CONFIG>",
                                         R"(<COMPRESS LEVEL="0">)",
                                         "<FILEURL>docs.zip</FILEURL>",
                                         "</COMPRESS>",
                                         "<DSTUSEDATE>1</DSTUSEDATE>",
                                         "</CONFIG>",
                                         "</PROFILE>"}));
}

TEST_F(ProfileFileTest, WritesTheSchedulePart) {
  Profile p;
  ResetSchedule(p.schedule, TestNow());
  p.name = "Monthly";
  p.isScheduled = true;
  p.localDestFolder = "/backup";
  ScheduleRecord& s = p.schedule;
  s.type = kScheduleMonthly;
  s.enabled = true;
  s.startTime = MakeLocalTime(1980, 2, 6, 8, 5);
  s.monthlyByWeekday = 1;
  s.weekOfMonth = 4;  // last
  s.dayOfWeek = 4;    // Friday
  s.hasStartDate = s.hasEndDate = 1;
  s.startDate = MakeLocalTime(2024, 1, 1);
  s.endDate = MakeLocalTime(2025, 12, 31);
  s.repeat = 1;
  s.repeatInterval = 30;
  s.repeatDuration = 120;
  ProfilePathFor(p);
  ASSERT_TRUE(WriteProfile(p, TestNow()).ok());
  // The last Friday of March 2024 is the 29th.
  EXPECT_EQ(ReadFile(p.filePath), Lines({R"(<PROFILE TYPE="SCHEDULED">)",
                                         "<NAME>Monthly</NAME>",
                                         R"(<DESTINATION TYPE="LOCALFOLDER">)",
                                         "<FILEURL>/backup</FILEURL>",
                                         "</DESTINATION>",
                                         "<CONFIG>",
                                         "<DSTUSEDATE>0</DSTUSEDATE>",
                                         R"(<SCHEDULED TYPE="Monthly" ENABLED="1">)",
                                         "<GLOBALSTART>",
                                         "<HOUR>8</HOUR>",
                                         "<MINUTE>5</MINUTE>",
                                         "</GLOBALSTART>",
                                         R"(<MONTHLY TYPE="1">)",
                                         "<WEEKINMONTH>4</WEEKINMONTH>",
                                         "<DAYINWEEK>4</DAYINWEEK>",
                                         "<RUNMONTH>4095</RUNMONTH>",
                                         "</MONTHLY>",
                                         R"(<ADVANCED REPEAT="1" LASTRUN="202403050930">)",
                                         "<STARTDATE>",
                                         "<YEAR>2024</YEAR>",
                                         "<MONTH>1</MONTH>",
                                         "<DAY>1</DAY>",
                                         "</STARTDATE>",
                                         "<ENDDATE>",
                                         "<YEAR>2025</YEAR>",
                                         "<MONTH>12</MONTH>",
                                         "<DAY>31</DAY>",
                                         "</ENDDATE>",
                                         "<NEXTRUN>",
                                         "<YEAR>2024</YEAR>",
                                         "<MONTH>3</MONTH>",
                                         "<DAY>29</DAY>",
                                         "<HOUR>8</HOUR>",
                                         "<MINUTE>5</MINUTE>",
                                         "</NEXTRUN>",
                                         "<INTERVAL>30</INTERVAL>",
                                         "<INTERVALTYPE>0</INTERVALTYPE>",
                                         "<DURATION>120</DURATION>",
                                         "</ADVANCED>",
                                         "</SCHEDULED>",
                                         "</CONFIG>",
                                         "</PROFILE>"}));
}

TEST_F(ProfileFileTest, QuickProfileRoundTrips) {
  Profile p = SampleQuickProfile();
  const Profile read = RoundTrip(p);
  ExpectSameProfile(read, AsReadBack(p, TestNow()));
  EXPECT_EQ(read.zipLevel, 0) << "a stored Store level stays Store";
}

// The option goes last in CONFIG, after the schedule, where readers that do not know it never
// search; a file without it (an older one) reads as off.
TEST_F(ProfileFileTest, VerifyOptionIsStoredLastInConfigAndMissingMeansOff) {
  Profile p = SampleQuickProfile("Checked");
  p.isScheduled = true;
  p.schedule.startTime = MakeLocalTime(1980, 2, 6, 8, 0);
  p.verifyAfterBackup = true;
  const Profile read = RoundTrip(p);
  ExpectSameProfile(read, AsReadBack(p, TestNow()));
  const std::string text = ReadFile(p.filePath);
  EXPECT_NE(text.find("</SCHEDULED>\r\n<VERIFY>1</VERIFY>\r\n</CONFIG>"), std::string::npos) << text;

  p.verifyAfterBackup = false;
  EXPECT_FALSE(RoundTrip(p).verifyAfterBackup);
  EXPECT_EQ(ReadFile(p.filePath).find("VERIFY"), std::string::npos)
      << "an unchecked profile writes what older ones did";
}

// "Verify by reading back" follows VERIFY, written only when on; a reader finds each of the two
// without the other and passes over elements it does not know, as older readers pass over both.
TEST_F(ProfileFileTest, ReadBackOptionFollowsVerifyAndUnknownElementsAreSkipped) {
  Profile p = SampleQuickProfile("ReadBack");
  for (const bool verify : {true, false}) {
    p.verifyAfterBackup = verify;
    p.verifyByReadingBack = true;
    const Profile read = RoundTrip(p);
    ExpectSameProfile(read, AsReadBack(p, TestNow()));
    const std::string text = ReadFile(p.filePath);
    EXPECT_NE(text.find(std::string(verify ? "<VERIFY>1</VERIFY>\r\n" : "</DSTUSEDATE>\r\n") +
                        "<VERIFYREADBACK>1</VERIFYREADBACK>\r\n</CONFIG>"),
              std::string::npos)
        << text;
  }

  p.verifyAfterBackup = true;
  std::string text = ReadFile(RoundTrip(p).filePath);
  text.replace(text.find("<VERIFYREADBACK>"), 0, "<NEWER>1</NEWER>\r\n");
  text.replace(text.find("</CONFIG>"), 0, "<NEWEST/>\r\n");
  const Profile read = ReadText(text);
  EXPECT_TRUE(read.verifyAfterBackup);
  EXPECT_TRUE(read.verifyByReadingBack);
  EXPECT_EQ(read.zipFileName, p.zipFileName);

  p.verifyByReadingBack = false;
  EXPECT_FALSE(RoundTrip(p).verifyByReadingBack);
  EXPECT_EQ(ReadFile(p.filePath).find("VERIFYREADBACK"), std::string::npos);
}

// Each account's TLS flag goes last in its FTPITEM, where readers that do not know it never
// search; an account without it (an older file) reads as plain FTP.
TEST_F(ProfileFileTest, TlsFlagsAreStoredLastInEachAccountAndMissingMeansPlain) {
  Profile p = SampleQuickProfile("Secured");
  p.ftpDest.tls = true;
  p.remoteSources.push_back(p.remoteSources.front());
  p.remoteSources.back().site.tls = true;
  const Profile secured = RoundTrip(p);
  ExpectSameProfile(secured, AsReadBack(p, TestNow()));
  const std::string text = ReadFile(p.filePath);
  EXPECT_NE(text.find("</SUBITEM>\r\n<TLS>1</TLS>\r\n</FTPITEM>\r\n</REMOTESRC>"), std::string::npos) << text;
  EXPECT_NE(text.find("<PASSIVE>1</PASSIVE>\r\n<TLS>1</TLS>\r\n</FTPITEM>"), std::string::npos) << text;
  EXPECT_EQ(text.find("<TLS>"), text.rfind("<TLS>", text.find("</REMOTESRC>"))) << "the plain source has none";

  p.ftpDest.tls = false;
  p.remoteSources.back().site.tls = false;
  const Profile plain = RoundTrip(p);
  ExpectSameProfile(plain, AsReadBack(p, TestNow()));
  EXPECT_EQ(ReadFile(p.filePath).find("TLS"), std::string::npos) << "plain accounts write what older files hold";
}

// A source's Passive Mode was never stored, so every run of a saved profile used active mode.
// Active is stored last in its FTPITEM; a source without it (every older file) is passive.
TEST_F(ProfileFileTest, RemoteSourceModeIsStoredAndMissingMeansPassive) {
  for (const char* mode : {"1", "0"}) {
    SCOPED_TRACE(mode);
    Profile p = SampleQuickProfile("Mode");
    p.remoteSources.back().site.passive = mode;
    p.remoteSources.back().site.sftp = true;
    EXPECT_EQ(RoundTrip(p).remoteSources.back().site.passive, mode);
    const std::string text = ReadFile(p.filePath);
    const bool active = mode == std::string("0");
    EXPECT_EQ(text.find("<SFTP>1</SFTP>\r\n<ACTIVE>1</ACTIVE>\r\n</FTPITEM>\r\n</REMOTESRC>") != std::string::npos,
              active)
        << text;
    EXPECT_EQ(text.find("ACTIVE") != std::string::npos, active) << "passive sources are written as before";
  }
  const Profile older = ReadText(
      "<PROFILE TYPE=\"QUICKLANCH\"><NAME>o</NAME><REMOTESRC><FTPITEM TYPE=\"UNIX\"><HOSTNAME>h</HOSTNAME>"
      "</FTPITEM></REMOTESRC></PROFILE>");
  ASSERT_EQ(older.remoteSources.size(), 1u);
  EXPECT_EQ(older.remoteSources[0].site.passive, "1");
}

// SFTP and its key file follow TLS, only when on; a key-less SFTP account writes no KEYFILE.
TEST_F(ProfileFileTest, SftpAccountsAreStoredAfterTheTlsFlag) {
  Profile p = SampleQuickProfile("Ssh");
  p.ftpDest.sftp = true;
  p.ftpDest.keyFile = "/home/me/.ssh/id_ed25519";
  p.remoteSources.back().site.sftp = true;
  p.remoteSources.back().site.tls = true;
  const Profile read = RoundTrip(p);
  ExpectSameProfile(read, AsReadBack(p, TestNow()));
  const std::string text = ReadFile(p.filePath);
  EXPECT_NE(text.find("<TLS>1</TLS>\r\n<SFTP>1</SFTP>\r\n</FTPITEM>\r\n</REMOTESRC>"), std::string::npos) << text;
  EXPECT_NE(text.find("<PASSIVE>1</PASSIVE>\r\n<SFTP>1</SFTP>\r\n<KEYFILE>/home/me/.ssh/id_ed25519</KEYFILE>\r\n"
                      "</FTPITEM>"),
            std::string::npos)
      << text;
}

TEST_F(ProfileFileTest, EveryScheduleTypeRoundTrips) {
  auto scheduled = [](std::int32_t type, bool enabled, bool repeat) {
    Profile p = SampleQuickProfile("s" + std::to_string(type) + (enabled ? "e" : "d") + (repeat ? "r" : ""));
    p.isScheduled = true;
    p.destIsLocal = true;
    p.localDestFolder = "/backup/ünïcode folder ";
    p.ftpDest = {};      // not stored for a local destination
    p.compress = false;  // nor the level and name without compression
    p.zipFileName.clear();
    p.zipLevel = 5;
    // Only the fields of the schedule's own type are stored; the others keep their defaults.
    ScheduleRecord& s = p.schedule;
    s.type = type;
    s.enabled = enabled;
    s.startTime = MakeLocalTime(1980, 2, 6, 23, 59);
    switch (type) {
      case kScheduleOnce: s.onceDate = MakeLocalTime(2024, 3, 9); break;
      case kScheduleDaily: s.dailyInterval = 3; break;
      case kScheduleWeekly:
        s.weeklyInterval = 2;
        s.weekdays = 0x15;
        break;
      default:
        s.monthlyByWeekday = repeat ? 1 : 0;
        s.dayOfMonth = repeat ? 1 : 31;
        s.weekOfMonth = repeat ? 2 : 0;
        s.dayOfWeek = repeat ? 6 : 0;
        s.months = 0x5A5;
    }
    if (type != kScheduleOnce) {
      s.hasStartDate = 1;
      s.startDate = MakeLocalTime(2024, 2, 29);
      s.hasEndDate = enabled ? 1 : 0;
      s.endDate = enabled ? MakeLocalTime(2030, 1, 1) : s.endDate;
    }
    s.repeat = repeat ? 1 : 0;
    if (repeat) {
      s.repeatInterval = 2;
      s.repeatUnit = 1;
      s.repeatDuration = 600;
    }
    return p;
  };
  for (std::int32_t type : {kScheduleDaily, kScheduleWeekly, kScheduleMonthly, kScheduleOnce}) {
    for (bool enabled : {true, false}) {
      for (bool repeat : {true, false}) {
        SCOPED_TRACE(testing::Message() << "type " << type << " enabled " << enabled << " repeat " << repeat);
        Profile p = scheduled(type, enabled, repeat);
        const Profile read = RoundTrip(p);
        ExpectSameProfile(read, AsReadBack(p, TestNow()));
        const std::string text = ReadFile(p.filePath);
        EXPECT_EQ(text.find("LASTRUN=") != std::string::npos, enabled);
        EXPECT_EQ(text.find("<DURATION>") != std::string::npos, repeat);
      }
    }
  }
}

TEST_F(ProfileFileTest, LongAndAwkwardValuesAreKeptWhole) {
  Profile p = SampleQuickProfile();
  const std::string longPath = "/" + std::string(5000, 'p');
  p.localSources = {{longPath, "+[" + std::string(400, 'f') + "]", ItemKind::LocalFolder, false},
                    {"  <![CDATA[x]]> & \"'\t", "", ItemKind::LocalFile, false}};
  p.ftpDest.password = "a]]>b&amp;c";
  const Profile read = RoundTrip(p);
  ExpectSameProfile(read, AsReadBack(p, TestNow()));
}

TEST_F(ProfileFileTest, ReadsOnlyElementsInTheirOrder) {
  // DESTINATION before LOCALSRC: the forward search for it starts after LOCALSRC and fails.
  const Profile p = ReadText(
      Lines({R"(<PROFILE TYPE="QUICKLANCH">)", R"(<DESTINATION TYPE="LOCALFOLDER"><FILEURL>/d</FILEURL></DESTINATION>)",
             R"(<LOCALSRC><SUBITEM TYPE="LOCALFILE"><FILEURL>/f</FILEURL></SUBITEM>)",
             // FILEURL before FILTER inside a folder item: the filter is found, then the path is not.
             R"(<SUBITEM TYPE="LOCALFOLDER"><FILEURL>/dir</FILEURL><FILTER>+[a]</FILTER></SUBITEM></LOCALSRC>)",
             R"(<CONFIG><DSTUSEDATE>1</DSTUSEDATE><COMPRESS LEVEL="9"><FILEURL>z.zip</FILEURL></COMPRESS></CONFIG>)",
             "</PROFILE>"}));
  ASSERT_EQ(p.localSources.size(), 2u);
  EXPECT_EQ(p.localSources[1], (SourceItem{"", "+[a]", ItemKind::LocalFolder, false}));
  EXPECT_FALSE(p.hasDestination);
  EXPECT_EQ(p.localDestFolder, "");
  // COMPRESS is found after DSTUSEDATE, which is then not found any more.
  EXPECT_TRUE(p.compress);
  EXPECT_EQ(p.zipLevel, 9);
  EXPECT_FALSE(p.useDateFolder);
}

TEST_F(ProfileFileTest, SkipsUnknownItemsAndFallsBackToDefaults) {
  const Profile p = ReadText(Lines(
      {R"(<PROFILE TYPE="SCHEDULED">)", "<LOCALSRC>", R"(<SUBITEM TYPE="FTPFILE"><FILEURL>/x</FILEURL></SUBITEM>)",
       R"(<SUBITEM TYPE="LOCALFILE"></SUBITEM>)",
       R"(<SUBITEM TYPE="LOCALFOLDER"><RECURSIVE>yes</RECURSIVE><FILEURL>/f</FILEURL></SUBITEM>)", "</LOCALSRC>",
       R"(<REMOTESRC><FTPITEM TYPE="unix"><HOSTNAME>h</HOSTNAME></FTPITEM></REMOTESRC>)",
       R"(<DESTINATION TYPE="FTPFOLDER"><FTPITEM><PASSIVE>yes</PASSIVE></FTPITEM><FILEURL></FILEURL></DESTINATION>)",
       R"(<CONFIG><COMPRESS LEVEL="-3"><FILEURL>a.zip</FILEURL></COMPRESS><DSTUSEDATE>7</DSTUSEDATE>)",
       R"(<SCHEDULED TYPE="Weekly" ENABLED="true"><GLOBALSTART><HOUR>25</HOUR><MINUTE>7</MINUTE></GLOBALSTART>)",
       "<WEEKLY><INTERVAL>0</INTERVAL><RUNWEEKDAY>99999999999</RUNWEEKDAY></WEEKLY>",
       R"(<ADVANCED REPEAT="1"><NEXTRUN><YEAR>2024</YEAR><MONTH>3</MONTH><DAY>6</DAY><HOUR>1</HOUR></NEXTRUN>)",
       "<INTERVAL>0</INTERVAL><INTERVALTYPE>1</INTERVALTYPE><DURATION>60</DURATION></ADVANCED>",
       "</SCHEDULED></CONFIG></PROFILE>"}));
  // The file item without FILEURL and the FTP kind among local sources are left out.
  ASSERT_EQ(p.localSources.size(), 1u);
  EXPECT_EQ(p.localSources[0], (SourceItem{"/f", "", ItemKind::LocalFolder, false}));
  ASSERT_EQ(p.remoteSources.size(), 1u);
  EXPECT_TRUE(p.remoteSources[0].site.serverIsUnix);
  EXPECT_FALSE(p.destIsLocal);
  EXPECT_EQ(p.ftpDest.passive, "yes");
  EXPECT_FALSE(p.hasDestination);
  EXPECT_TRUE(p.compress);
  EXPECT_TRUE(p.useDateFolder);
  // Numbers are kept as stored, also those the editor does not offer; a number too big for the
  // record is kept as the biggest it can hold.
  EXPECT_EQ(p.zipLevel, -3);
  const ScheduleRecord& s = p.schedule;
  EXPECT_EQ(s.type, kScheduleWeekly);
  EXPECT_FALSE(s.enabled);
  EXPECT_EQ(LocalFields(s.startTime).tm_hour, 1) << "25:07 is 1:07";
  EXPECT_EQ(LocalFields(s.startTime).tm_min, 7);
  EXPECT_EQ(s.weeklyInterval, 0);
  EXPECT_EQ(s.weekdays, INT32_MAX);
  EXPECT_EQ(s.nextRunValid, 0) << "a NEXTRUN without its MINUTE does not count";
  EXPECT_EQ(s.repeat, 1) << "a repeat without a step stays as stored; the computation repeats nothing";
  EXPECT_EQ(s.repeatInterval, 0);
  EXPECT_EQ(s.repeatUnit, 1);
  EXPECT_EQ(s.repeatDuration, 60);
}

// A scheduled profile whose schedule and level hold `stored` (an element of the file as a user may
// have written it) is read and written again, as the schedule monitor does after a launch. What
// the user stored must come back as `written`: the same value, read as the format reads numbers.
struct RewriteCase {
  const char* what;
  const char* type;  // the schedule's TYPE
  std::string typePart;
  std::string advanced;  // ADVANCED's attributes and children
  std::string level;     // COMPRESS's LEVEL attribute, or none
  std::vector<std::string> written;
};

std::ostream& operator<<(std::ostream& out, const RewriteCase& c) { return out << c.what; }

class StoredNumbersTest : public ProfileFileTest, public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(StoredNumbersTest, SurviveARewrite) {
  const RewriteCase& c = GetParam();
  const std::string compress =
      c.level.empty() ? "" : R"(<COMPRESS LEVEL=")" + c.level + R"("><FILEURL>a.zip</FILEURL></COMPRESS>)";
  Profile p = ReadText(Lines({R"(<PROFILE TYPE="SCHEDULED"><NAME>n</NAME>)", "<CONFIG>", compress.c_str(),
                              (std::string(R"(<SCHEDULED TYPE=")") + c.type + R"(" ENABLED="1">)").c_str(),
                              "<GLOBALSTART><HOUR>10</HOUR><MINUTE>0</MINUTE></GLOBALSTART>", c.typePart.c_str(),
                              ("<ADVANCED " + c.advanced + "</ADVANCED>").c_str(), "</SCHEDULED></CONFIG></PROFILE>"}));
  p.filePath = (dir / "rewritten.pfl").string();
  ASSERT_TRUE(WriteProfile(p, TestNow()).ok());
  const std::string text = ReadFile(p.filePath);
  for (const std::string& expected : c.written) EXPECT_NE(text.find(expected), std::string::npos) << expected;
  // And once more: what was written reads back as it was read.
  Profile again;
  ASSERT_TRUE(ReadProfile(p.filePath, again, TestNow()).ok());
  EXPECT_EQ(again.zipLevel, p.zipLevel);
  EXPECT_EQ(test::Fields(again.schedule), test::Fields(AsReadBack(p, TestNow()).schedule));
}

const std::string kNoRepeat = R"(REPEAT="0">)";

INSTANTIATE_TEST_SUITE_P(
    Values, StoredNumbersTest,
    ::testing::Values(
        RewriteCase{"every weekday and more bits",
                    "Weekly",
                    "<WEEKLY><INTERVAL>1</INTERVAL><RUNWEEKDAY>255</RUNWEEKDAY></WEEKLY>",
                    kNoRepeat,
                    "",
                    {"<RUNWEEKDAY>255</RUNWEEKDAY>"}},
        RewriteCase{"no weekday",
                    "Weekly",
                    "<WEEKLY><INTERVAL>0</INTERVAL><RUNWEEKDAY>0</RUNWEEKDAY></WEEKLY>",
                    kNoRepeat,
                    "",
                    {"<INTERVAL>0</INTERVAL>", "<RUNWEEKDAY>0</RUNWEEKDAY>"}},
        RewriteCase{
            "level over 9", "Daily", "<DAILY><INTERVAL>1</INTERVAL></DAILY>", kNoRepeat, "12", {R"(LEVEL="12")"}},
        RewriteCase{"level that is not a number",
                    "Daily",
                    "<DAILY><INTERVAL>1</INTERVAL></DAILY>",
                    kNoRepeat,
                    "high",
                    {R"(LEVEL="0")"}},
        RewriteCase{"daily interval 0",
                    "Daily",
                    "<DAILY><INTERVAL>0</INTERVAL></DAILY>",
                    kNoRepeat,
                    "",
                    {"<DAILY>\r\n<INTERVAL>0</INTERVAL>"}},
        RewriteCase{"interval that is not a number",
                    "Daily",
                    "<DAILY><INTERVAL>ten</INTERVAL></DAILY>",
                    kNoRepeat,
                    "",
                    {"<DAILY>\r\n<INTERVAL>0</INTERVAL>"}},
        RewriteCase{
            "week 7 of the month",
            "Monthly",
            R"(<MONTHLY TYPE="1"><WEEKINMONTH>7</WEEKINMONTH><DAYINWEEK>9</DAYINWEEK><RUNMONTH>0</RUNMONTH></MONTHLY>)",
            kNoRepeat,
            "",
            {"<WEEKINMONTH>7</WEEKINMONTH>", "<DAYINWEEK>9</DAYINWEEK>", "<RUNMONTH>0</RUNMONTH>"}},
        RewriteCase{"day 0 of the month",
                    "Monthly",
                    R"(<MONTHLY TYPE="0"><DAYINMONTH>0</DAYINMONTH><RUNMONTH>65535</RUNMONTH></MONTHLY>)",
                    kNoRepeat,
                    "",
                    {"<DAYINMONTH>0</DAYINMONTH>", "<RUNMONTH>65535</RUNMONTH>"}},
        RewriteCase{
            "repeat without a step",
            "Daily",
            "<DAILY><INTERVAL>1</INTERVAL></DAILY>",
            R"(REPEAT="1"><INTERVAL>0</INTERVAL><INTERVALTYPE>3</INTERVALTYPE><DURATION>-5</DURATION>)",
            "",
            {R"(REPEAT="1")", "<INTERVAL>0</INTERVAL>\r\n<INTERVALTYPE>3</INTERVALTYPE>\r\n<DURATION>-5</DURATION>"}}));

// The start time of day as the format reads it: a number, 0 for text, round the clock past 23:59.
TEST_F(ProfileFileTest, StartTimeIsReadAsAClockShowsIt) {
  const struct {
    const char* hour;
    const char* minute;
    int expectedHour, expectedMinute;
  } cases[] = {{"ten", "30", 0, 30},
               {"25", "7", 1, 7},
               {"-1", "0", 23, 0},
               {"8", "75", 9, 15},
               {"2147483647", "2147483647", 9, 7},
               {" 7", "+5", 7, 5}};
  for (const auto& c : cases) {
    const Profile p = ReadText(Lines(
        {R"(<PROFILE TYPE="SCHEDULED"><NAME>n</NAME><CONFIG>)", R"(<SCHEDULED TYPE="Daily" ENABLED="1"><GLOBALSTART>)",
         (std::string("<HOUR>") + c.hour + "</HOUR><MINUTE>" + c.minute + "</MINUTE>").c_str(),
         "</GLOBALSTART></SCHEDULED></CONFIG></PROFILE>"}));
    const std::tm start = LocalFields(p.schedule.startTime);
    EXPECT_EQ(start.tm_hour, c.expectedHour) << c.hour << ":" << c.minute;
    EXPECT_EQ(start.tm_min, c.expectedMinute) << c.hour << ":" << c.minute;
  }
}

// A file that is not a profile must never be read (and then run, or rewritten) as one of defaults.
TEST_F(ProfileFileTest, FilesThatAreNotProfilesAreRefused) {
  const std::string path = (dir / "t.pfl").string();
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {{"", "it holds no PROFILE element"},
               {"not xml at all", "Element tag not found"},
               {"<PROFILE TYPE=\"SCHEDULED\"><NAME>x</NAME><LOCALSRC>", "Element tag not found"},
               {"<OTHER TYPE=\"QUICKLANCH\"/>", "it holds no PROFILE element"},
               {std::string("\xff\xfe<\0>\0", 6), "Element tag not found"}};
  for (const auto& c : cases) {
    WriteFile(path, c.text);
    Profile p = SampleQuickProfile();
    const Status read = ReadProfile(path, p, TestNow());
    EXPECT_EQ(read.code(), StatusCode::Corrupt) << c.text;
    EXPECT_EQ(read.ToString(), path + ": The file could not be read as a profile: " + c.reason + ".") << c.text;
    ExpectSameProfile(p, SampleQuickProfile());
  }
  Profile p;
  const std::string missing = (dir / "missing.pfl").string();
  const Status read = ReadProfile(missing, p, TestNow());
  EXPECT_EQ(read.code(), StatusCode::IoError);
  EXPECT_EQ(read.path(), missing);
  EXPECT_EQ(read.sysError(), ENOENT);
  EXPECT_EQ(read.ToString(), "Cannot read \"" + missing + "\".\nNo such file or directory.");
}

TEST_F(ProfileFileTest, FileIsOwnerOnlyAndAFailedWriteKeepsTheOldOne) {
  Profile p = SampleQuickProfile();
  ProfilePathFor(p);
  ASSERT_TRUE(WriteProfile(p, TestNow()).ok());
  struct stat info {};
  ASSERT_EQ(::stat(p.filePath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string before = ReadFile(p.filePath);

  // A file-size limit makes the next write fail part way.
  p.localSources.assign(2000, SourceItem{"/some/long/enough/path", "+[*.*]", ItemKind::LocalFolder, true});
  Status written;
  {
    const test::FileSizeLimit limit(1024);
    written = WriteProfile(p, TestNow());
  }

  // The failure carries what a window needs: the file, the system's reason and the text.
  EXPECT_EQ(written.code(), StatusCode::IoError);
  EXPECT_EQ(written.path(), p.filePath);
  EXPECT_EQ(written.sysError(), EFBIG);
  EXPECT_EQ(written.ToString(), "Cannot write \"" + p.filePath + "\".\n" + std::strerror(EFBIG) + ".");
  EXPECT_EQ(ReadFile(p.filePath), before);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(ProfileFolder())) ++files;
  EXPECT_EQ(files, 1u) << "no temporary file is left behind";
}

TEST_F(ProfileFileTest, ProfileNamesStayInsideTheProfileFolder) {
  for (const char* bad : {"", ".", "..", "a/b", "..\\x", "tab\there", "new\nline"}) {
    Profile p;
    p.name = bad;
    EXPECT_EQ(ProfileNameProblem(bad).code(), StatusCode::InvalidArgument) << bad;
    EXPECT_FALSE(ProfilePathFor(p));
    EXPECT_EQ(p.filePath, "");
  }
  // A file that is there already may have a name no new profile can be given: it is run and
  // stamped all the same. Only names that could not be a file in the profile folder are refused.
  for (const std::string& existing : {std::string("..\\x"), std::string("tab\there"), std::string("new\nline"),
                                      std::string(240, 'n'), std::string("\x1b[31mred")}) {
    EXPECT_TRUE(ExistingProfileNameProblem(existing).ok()) << existing;
  }
  for (const std::string& outside : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                                     std::string("/abs"), std::string("nul\0byte", 8)}) {
    EXPECT_EQ(ExistingProfileNameProblem(outside).code(), StatusCode::InvalidArgument) << outside;
  }
  EXPECT_EQ(ProfileNameProblem("").ToString(), "Please enter profile name.");
  EXPECT_EQ(ProfileNameProblem("a/b").ToString(),
            "The profile name \"a/b\" cannot be used.\nA profile name must not be \".\" or \"..\" and must not "
            "contain \"/\", \"\\\" or control characters.");
  EXPECT_EQ(
      ProfileNameProblem(std::string(201, 'n')).ToString(),
      "The profile name \"" + std::string(201, 'n') + "\" is too long.\nA profile name may have at most 200 bytes.");

  Profile p;
  p.name = "..hidden but fine [x]";
  EXPECT_TRUE(ProfileNameProblem(p.name).ok());
  EXPECT_FALSE(ProfilePathFor(p));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Profile")) << "the folder is made on the way";
  EXPECT_EQ(p.filePath, (dir / "Profile" / "..hidden but fine [x].pfl").string());
  WriteFile(p.filePath, "");
  EXPECT_TRUE(ProfilePathFor(p));
}

// One change to a sound profile and the first problem ProfileProblem must find ("" for none).
struct ProblemCase {
  const char* what;
  std::function<void(Profile&)> change;
  std::string expected;
};

std::ostream& operator<<(std::ostream& out, const ProblemCase& c) { return out << c.what; }

class ProfileProblemTest : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(ProfileProblemTest, FindsTheFirstProblemInTheEditorsOrder) {
  Profile p = SampleQuickProfile();  // FTP destination with a date folder, compressed
  GetParam().change(p);
  const Status problem = ProfileProblem(p);
  EXPECT_EQ(problem.ToString(), GetParam().expected);
  EXPECT_EQ(problem.ok(), GetParam().expected.empty());
  EXPECT_EQ(problem.code(), problem.ok() ? StatusCode::Ok : StatusCode::InvalidArgument);
}

const std::string kNoSource = "Please specify backup source.\nIt could be a local folder or a remote FTP path.";
const std::string kNoDestination =
    "Please specify backup destination.\nIt could be a local folder or a remote FTP path.";
const std::string kNoArchiveName = "Please enter compression filename.";

void LocalTo(Profile& p, std::string folder) {
  p.destIsLocal = true;
  p.localDestFolder = std::move(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ProfileProblemTest,
    ::testing::Values(
        ProblemCase{"sound", [](Profile&) {}, ""},
        ProblemCase{"remote sources only", [](Profile& p) { p.localSources.clear(); }, ""},
        ProblemCase{"no source", [](Profile& p) { p.localSources.clear(), p.remoteSources.clear(); }, kNoSource},
        ProblemCase{"no source comes before no destination",
                    [](Profile& p) { p.localSources.clear(), p.remoteSources.clear(), LocalTo(p, ""); }, kNoSource},
        ProblemCase{"empty local folder", [](Profile& p) { LocalTo(p, ""); }, kNoDestination},
        ProblemCase{"no FTP host", [](Profile& p) { p.ftpDest.host.clear(); }, kNoDestination},
        ProblemCase{"an FTP host alone is a destination", [](Profile& p) { p.ftpDest.remotePath.clear(); }, ""},
        ProblemCase{"no archive name", [](Profile& p) { p.zipFileName.clear(); }, kNoArchiveName},
        ProblemCase{"no archive name, not compressed", [](Profile& p) { p.zipFileName.clear(), p.compress = false; },
                    ""},
        ProblemCase{"no destination comes before no archive name",
                    [](Profile& p) { LocalTo(p, ""), p.zipFileName.clear(); }, kNoDestination},
        // With its date folder ("/YYYY-MM-DD") the folder reaches the limit exactly, or stays one below.
        ProblemCase{"folder too long with its date folder",
                    [](Profile& p) { LocalTo(p, "/" + std::string(PATH_MAX - 12, 'd')), p.compress = false; },
                    "The backup cannot start: its destination folder has " + std::to_string(PATH_MAX) +
                        " bytes, more than the " + std::to_string(PATH_MAX - 1) + " the system allows."},
        ProblemCase{"folder that fits with its date folder",
                    [](Profile& p) { LocalTo(p, "/" + std::string(PATH_MAX - 13, 'd')), p.compress = false; }, ""},
        ProblemCase{"local source too long",
                    [](Profile& p) {
                      p.localSources.push_back({std::string(PATH_MAX, 's'), "", ItemKind::LocalFile, false});
                    },
                    "The backup cannot start: the source \"" + std::string(64, 's') + "...\" has " +
                        std::to_string(PATH_MAX) + " bytes, more than the " + std::to_string(PATH_MAX - 1) +
                        " the system allows."},
        ProblemCase{"a remote path is the server's business",
                    [](Profile& p) { p.remoteSources[0].items[0].path = "/" + std::string(PATH_MAX, 'r'); }, ""},
        ProblemCase{"archive path too long",
                    [](Profile& p) { LocalTo(p, "/" + std::string(PATH_MAX - 10, 'd')), p.useDateFolder = false; },
                    "The backup cannot start: the path of its archive has " + std::to_string(PATH_MAX) +
                        " bytes, more than the " + std::to_string(PATH_MAX - 1) + " the system allows."}));

}  // namespace
}  // namespace tarnwick
