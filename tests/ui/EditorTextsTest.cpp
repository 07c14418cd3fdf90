// The editor's rule-bound texts: filters, the destination line, sizes, levels and account checks.
#include <gtest/gtest.h>

#include "EditorHarness.h"
#include "engine/PathFilter.h"
#include "ui/EditorTexts.h"

namespace tarnwick::ui::test {
namespace {

struct FilterCase {
  std::string include, exclude, filter;
};

class FilterText : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterText, ComposesAndReadsBack) {
  const FilterCase& c = GetParam();
  EXPECT_EQ(ComposeFilter(c.include, c.exclude), c.filter);
  // Read back as the job reads it: an empty include list comes back as "*.*".
  const FilterLists lists = SplitFilter(c.filter);
  EXPECT_EQ(lists.include, c.include.empty() ? "*.*" : c.include);
  EXPECT_EQ(lists.exclude, c.exclude);
}

INSTANTIATE_TEST_SUITE_P(Table, FilterText,
                         ::testing::Values(FilterCase{"*.txt;*.doc", "~*", "+[*.txt;*.doc]-[~*]"},
                                           FilterCase{"", "", "+[*.*]"},  //
                                           FilterCase{"*", "", "+[*]"},   //
                                           FilterCase{"", "*.tmp", "+[*.*]-[*.tmp]"}));

struct SizeCase {
  std::uint64_t size;
  const char* text;
};

class SizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeText, NamesTheLargestUnitReachedAndTheWholeCount) {
  EXPECT_EQ(FileSizeText(GetParam().size).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, SizeText,
                         ::testing::Values(SizeCase{0, "0 Bytes (0 Bytes)"}, SizeCase{1023, "1023 Bytes (1023 Bytes)"},
                                           SizeCase{1024, "1 KB (1024 Bytes)"},
                                           SizeCase{1048575, "1023 KB (1048575 Bytes)"},
                                           SizeCase{1048576, "1 MB (1048576 Bytes)"},
                                           SizeCase{1073741823, "1023 MB (1073741823 Bytes)"},
                                           SizeCase{1073741824, "1 GB (1073741824 Bytes)"},
                                           // Past 4 GiB the byte count is whole, not its low 32 bits.
                                           SizeCase{5368709121ULL, "5 GB (5368709121 Bytes)"}));

struct LineCase {
  std::string summary;
  bool compress;
  std::string archive;
  char separator;
  std::string line;
};

class DestinationLineRule : public ::testing::TestWithParam<LineCase> {};

TEST_P(DestinationLineRule, AddsTheArchiveWithOneSeparator) {
  const LineCase& c = GetParam();
  EXPECT_EQ(DestinationLine(c.summary, c.compress, c.archive, c.separator), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DestinationLineRule,
    ::testing::Values(LineCase{"/backup", false, "a.zip", '/', "/backup"},
                      LineCase{"/backup", true, "a.zip", '/', "/backup/a.zip"},
                      LineCase{"/backup/", true, "a.zip", '/', "/backup/a.zip"},  // no doubled separator
                      LineCase{"host/pub", true, "a.zip", '/', "host/pub/a.zip"},
                      LineCase{"/backup", true, "", '/', "/backup/"},  // while the name is still empty
                      LineCase{"", true, "a.zip", '/', ""}));

TEST(ZipLevels, StoredLevelSelectsItsEntryAndAnyOtherNormal) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {3, 2}, {5, 3}, {7, 4}, {9, 5}, {2, 3}, {-1, 3}, {10, 3}};
  for (const auto& [level, index] : cases) EXPECT_EQ(ZipLevelIndex(level), index) << "level " << level;
}

TEST(RemoteRows, ShowHostAndPathAfterTheScheme) {
  EXPECT_EQ(RemoteRowText("ftp.example.test", "/pub/a b"), "ftp://ftp.example.test/pub/a b");
}

struct AccountCase {
  const char* name;
  FtpAccountInput input;
  FtpField field;
  const char* message;
};

void PrintTo(const AccountCase& c, std::ostream* os) { *os << c.name; }

class AccountCheck : public ::testing::TestWithParam<AccountCase> {};

TEST_P(AccountCheck, FirstProblemNamesItsField) {
  const AccountCase& c = GetParam();
  const FtpInputProblem problem = CheckFtpAccount(c.input);
  EXPECT_EQ(problem.field, c.field);
  EXPECT_EQ(problem.message.toStdString(), c.message);
}

const FtpAccountInput kGood{"127.0.0.1", "21", "me", "pw", false, "/pub"};

FtpAccountInput With(const std::function<void(FtpAccountInput&)>& change) {
  FtpAccountInput input = kGood;
  change(input);
  return input;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AccountCheck,
    ::testing::Values(
        AccountCase{"good", kGood, FtpField::None, ""},
        AccountCase{"noHost", With([](auto& i) { i = {}; }), FtpField::Host,
                    "Please enter hostname for this FTP account."},
        AccountCase{"noPort", With([](auto& i) {
                      i.port.clear();
                      i.user.clear();
                    }),
                    FtpField::Port, "Please enter port number for this FTP account."},
        AccountCase{"noUser", With([](auto& i) {
                      i.user.clear();
                      i.password.clear();
                    }),
                    FtpField::User, "Please enter username for this FTP account."},
        AccountCase{"noPassword", With([](auto& i) { i.password.clear(); }), FtpField::Password,
                    "Please enter password for this FTP account."},
        AccountCase{"anonymousNeedsNeither", With([](auto& i) {
                      i.user.clear();
                      i.password.clear();
                      i.anonymous = true;
                    }),
                    FtpField::None, ""},
        AccountCase{"schemeInHost", With([](auto& i) { i.host = "ftp://example.test"; }), FtpField::Host,
                    "The host name \"ftp://example.test\" cannot be used: enter the server's name or address alone, "
                    "without \"ftp://\"."},
        AccountCase{"portZero", With([](auto& i) { i.port = "0"; }), FtpField::Port,
                    "The port \"0\" cannot be used: a port is a number from 1 to 65535."},
        AccountCase{"portTooLarge", With([](auto& i) { i.port = "65536"; }), FtpField::Port,
                    "The port \"65536\" cannot be used: a port is a number from 1 to 65535."},
        AccountCase{"portWithZeros", With([](auto& i) { i.port = "0021"; }), FtpField::None, ""},
        AccountCase{"lineBreakInPath", With([](auto& i) { i.remotePath = "/pub\r\nDELE x"; }), FtpField::RemotePath,
                    "The remote path cannot be used: it holds a line break."}),
    CaseName());

}  // namespace
}  // namespace tarnwick::ui::test
