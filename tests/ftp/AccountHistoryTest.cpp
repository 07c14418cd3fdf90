#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>

#include "app/ProgramFolder.h"
#include "ftp/AccountHistory.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::WriteFile;

DestinationAccountFields Destination(const std::string& host) {
  DestinationAccountFields f;
  f.host = host;
  f.port = "2121";
  f.userName = "bob";
  f.password = "s3cret";
  f.remotePath = "/backup";
  f.passive = true;
  return f;
}

SourceAccountFields Source(const std::string& host) {
  SourceAccountFields f;
  f.host = host;
  f.port = "21";
  f.userName = "ann";
  f.password = "pw";
  f.initialPath = "/pub";
  f.serverType = kUnixServer;
  return f;
}

DestinationAccountFields Plain(DestinationAccountFields f, bool warned = false) {
  f.tls = false;
  f.plainWarned = warned;
  return f;
}

auto Fields(const DestinationAccountFields& f) {
  return std::tie(f.hostEnabled, f.host, f.port, f.userName, f.password, f.anonymous, f.remotePath, f.passive, f.tls,
                  f.plainWarned, f.sftp, f.keyFile);
}

// The two account files of one test, in a folder of their own.
struct AccountFiles {
  test::TempDir dir;
  std::string dest = (dir / "ftpac.ini").string();
  std::string src = (dir / "ftpsrc.ini").string();
};

// Stores into a file (which may hold text before) and what the file holds afterwards.
struct StoreCase {
  const char* what;
  const char* before;  // null: no file yet
  std::function<Status(const AccountFiles&)> store;
  bool sourceFile;  // ftpsrc.ini rather than ftpac.ini
  std::string expected;
  bool wholeFile = true;  // else `expected` is a part of the file
};

std::ostream& operator<<(std::ostream& out, const StoreCase& c) { return out << c.what; }

class AccountStoreTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(AccountStoreTest, WritesTheHostsSectionForTheOwnerOnly) {
  const StoreCase& c = GetParam();
  AccountFiles files;
  const std::string& file = c.sourceFile ? files.src : files.dest;
  if (c.before != nullptr) WriteFile(file, c.before);
  const Status stored = c.store(files);
  ASSERT_TRUE(stored.ok()) << stored.ToString();
  const std::string text = ReadFile(file);
  if (c.wholeFile) {
    EXPECT_EQ(text, c.expected);
  } else {
    EXPECT_NE(text.find(c.expected), std::string::npos) << text;
  }
  if (c.before == nullptr) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

DestinationAccountFields Anonymous(const std::string& host) {
  DestinationAccountFields f = Destination(host);
  f.anonymous = true;
  f.passive = false;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Stores, AccountStoreTest,
    ::testing::Values(
        StoreCase{"destination: five keys in order", nullptr,
                  [](const AccountFiles& a) { return StoreDestinationAccount(Destination("ftp.example.com"), a.dest); },
                  false,
                  "[ftp.example.com]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\nTLS=1\n"},
        StoreCase{
            "plain FTP, the user told", nullptr,
            [](const AccountFiles& a) { return StoreDestinationAccount(Plain(Destination("p.host"), true), a.dest); },
            false,
            "[p.host]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\nTLS=0\nPLAINWARNED=1\n"},
        StoreCase{"SFTP with its key file, last; back to FTP keeps the key file", nullptr,
                  [](const AccountFiles& a) {
                    DestinationAccountFields f = Destination("s.host");
                    f.sftp = true;
                    f.keyFile = "/k/id";
                    const Status first = StoreDestinationAccount(f, a.dest);
                    f.sftp = false;
                    return first.ok() ? StoreDestinationAccount(f, a.dest) : first;
                  },
                  false,
                  "[s.host]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\nTLS=1\nSFTP=0\n"
                  "KEYFILE=/k/id\n"},
        StoreCase{"anonymous: no credentials", nullptr,
                  [](const AccountFiles& a) { return StoreDestinationAccount(Anonymous("anon.host"), a.dest); }, false,
                  "[anon.host]\nPORT=2121\nUSERNAME=\nPASSWORD=\nINIDIR=/backup\nPASSIVE=0\nTLS=1\n"},
        StoreCase{"host spellings share one section; a change of case is saved", nullptr,
                  [](const AccountFiles& a) {
                    DestinationAccountFields again = Destination("ftp.EXAMPLE.com");
                    again.password = "S3CRET";  // only the letter case differs
                    const Status first = StoreDestinationAccount(Destination("FTP.example.com"), a.dest);
                    return first.ok() ? StoreDestinationAccount(again, a.dest) : first;
                  },
                  false,
                  "[FTP.example.com]\nPORT=2121\nUSERNAME=bob\nPASSWORD=S3CRET\nINIDIR=/backup\nPASSIVE=1\nTLS=1\n"},
        StoreCase{"an empty host changes nothing", "[a.host]\nPORT=21\nUSERNAME=u\nPASSWORD=p\n",
                  [](const AccountFiles& a) { return StoreDestinationAccount(Destination(""), a.dest); }, false,
                  "[a.host]\nPORT=21\nUSERNAME=u\nPASSWORD=p\n"},
        StoreCase{
            "source: six keys in order", nullptr,
            [](const AccountFiles& a) { return StoreSourceAccount(Source("src.host"), a.src); }, true,
            "[src.host]\nPORT=21\nUSERNAME=ann\nPASSWORD=pw\nPASSIVE=0\nINIDIR=/pub\nSERVERTYPE=Unix Server\nTLS=1\n"},
        StoreCase{
            "source: no server type selected stores Windows", "[src.host]\nPORT=21\n",
            [](const AccountFiles& a) {
              SourceAccountFields none = Source("other.host");
              none.serverType = -1;
              return StoreSourceAccount(none, a.src);
            },
            true,
            "[other.host]\nPORT=21\nUSERNAME=ann\nPASSWORD=pw\nPASSIVE=0\nINIDIR=/pub\nSERVERTYPE=Windows Server\nTLS=1\n",
            false}));

// A destination recall over a file's text: the fields before and after.
struct RecallCase {
  const char* what;
  const char* file;
  DestinationAccountFields fields;
  const char* profileHost;
  const char* profileRemotePath;
  DestinationAccountFields expected;
};

std::ostream& operator<<(std::ostream& out, const RecallCase& c) { return out << c.what; }

class DestinationRecallTest : public ::testing::TestWithParam<RecallCase> {};

TEST_P(DestinationRecallTest, FillsTheFieldsFromTheHostsSection) {
  const RecallCase& c = GetParam();
  AccountFiles files;
  if (c.file != nullptr) WriteFile(files.dest, c.file);
  DestinationAccountFields f = c.fields;
  const Status recalled = RecallDestinationAccount(f, c.profileHost, c.profileRemotePath, files.dest);
  ASSERT_TRUE(recalled.ok()) << recalled.ToString();
  EXPECT_EQ(Fields(f), Fields(c.expected));
  // A recall only reads: a missing file stays missing.
  EXPECT_EQ(std::filesystem::exists(files.dest), c.file != nullptr);
}

constexpr const char* kStored =
    "[ftp.example.com]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\n";
constexpr const char* kMixedCase = "[Ftp.Host]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\n";

DestinationAccountFields Host(const std::string& host, bool enabled = true) {
  DestinationAccountFields f;
  f.host = host;
  f.hostEnabled = enabled;
  return f;
}

DestinationAccountFields Recalled(const std::string& host, const std::string& remotePath) {
  DestinationAccountFields f = Destination(host);
  f.remotePath = remotePath;
  return f;
}

DestinationAccountFields Cleared(DestinationAccountFields f, const std::string& port) {
  f.anonymous = true;
  f.userName.clear();
  f.password.clear();
  f.port = port;
  return f;
}

DestinationAccountFields WithoutRemote(DestinationAccountFields f) {
  f.remotePath.clear();
  f.passive = false;
  return f;
}

DestinationAccountFields Disabled(DestinationAccountFields f) {
  f.hostEnabled = false;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DestinationRecallTest,
    ::testing::Values(RecallCase{"stored account, before TLS: plain", kStored, Host("ftp.example.com"), "other.host",
                                 "/profile/path", Plain(Recalled("ftp.example.com", "/backup"))},
                      RecallCase{"TLS and the warning read back",
                                 "[t.host]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\n"
                                 "INIDIR=/backup\nPASSIVE=1\nTLS=1\nPLAINWARNED=1\n",
                                 Plain(Host("t.host")), "", "",
                                 [] {
                                   DestinationAccountFields f = Recalled("t.host", "/backup");
                                   f.plainWarned = true;
                                   return f;
                                 }()},
                      RecallCase{"SFTP and its key file read back",
                                 "[k.host]\nPORT=22\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\n"
                                 "TLS=0\nSFTP=1\nKEYFILE=/k/id\n",
                                 Host("k.host"), "", "",
                                 [] {
                                   DestinationAccountFields f = Plain(Recalled("k.host", "/backup"));
                                   f.port = "22";
                                   f.sftp = true;
                                   f.keyFile = "/k/id";
                                   return f;
                                 }()},
                      // A user name without a password also recalls as anonymous, with both fields emptied.
                      RecallCase{"user without password is anonymous", "[half.host]\nUSERNAME=joe\nPORT=21\n",
                                 Destination("half.host"), "", "",
                                 Plain(WithoutRemote(Cleared(Destination("half.host"), "21")))},
                      // Not stored: a new account, TLS as the dialog has it (on).
                      RecallCase{"unknown host clears the fields", nullptr, Destination("never.seen"), "", "",
                                 WithoutRemote(Cleared(Destination("never.seen"), ""))},
                      RecallCase{"the profile's own host keeps the profile's remote path", kMixedCase, Host("Ftp.Host"),
                                 "Ftp.Host", "/from/profile", Plain(Recalled("Ftp.Host", "/from/profile"))},
                      // Another spelling finds the same section but is not the profile's host.
                      RecallCase{"the profile's host is compared exactly", kMixedCase, Host("ftp.host"), "Ftp.Host",
                                 "/from/profile", Plain(Recalled("ftp.host", "/backup"))},
                      RecallCase{"an empty host changes nothing", "[a.host]\nPORT=21\nUSERNAME=u\nPASSWORD=p\n",
                                 Destination(""), "", "", Destination("")},
                      RecallCase{"a disabled host field changes nothing", "[a.host]\nPORT=21\nUSERNAME=u\nPASSWORD=p\n",
                                 Disabled(Destination("a.host")), "", "", Disabled(Destination("a.host"))}));

struct ServerTypeCase {
  const char* stored;
  int expected;
};

std::ostream& operator<<(std::ostream& out, const ServerTypeCase& c) { return out << '"' << c.stored << '"'; }

class SourceRecallTest : public ::testing::TestWithParam<ServerTypeCase> {};

TEST_P(SourceRecallTest, TheServerTypeIsTheFirstEntryTheStoredTextBegins) {
  AccountFiles files;
  WriteFile(files.src, std::string("[s]\nPORT=990\nUSERNAME=u\nPASSWORD=p\nPASSIVE=1\nINIDIR=/in\nSERVERTYPE=") +
                           GetParam().stored + "\n");
  SourceAccountFields f;
  f.host = "S";
  f.serverType = -1;
  ASSERT_TRUE(RecallSourceAccount(f, files.src).ok());
  EXPECT_EQ(f.serverType, GetParam().expected);
  EXPECT_EQ(f.port, "990");
  EXPECT_EQ(f.userName, "u");
  EXPECT_EQ(f.password, "p");
  EXPECT_EQ(f.initialPath, "/in");
  EXPECT_TRUE(f.passive);
  EXPECT_FALSE(f.anonymous);
  EXPECT_FALSE(f.tls) << "stored before TLS: plain";
}

INSTANTIATE_TEST_SUITE_P(Prefixes, SourceRecallTest,
                         ::testing::Values(ServerTypeCase{"Unix Server", kUnixServer},
                                           ServerTypeCase{"uNiX", kUnixServer},
                                           ServerTypeCase{"Windows", kWindowsServer},
                                           ServerTypeCase{"Linux", kWindowsServer},
                                           ServerTypeCase{"", kWindowsServer}));

// Every kind of account comes back from both files as it was stored.
struct KindCase {
  const char* name;
  bool anonymous;
  const char* password;
  bool tls;
  bool sftp;
  const char* keyFile;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class AccountKindTest : public ::testing::TestWithParam<KindCase> {};

template <typename Fields>
Fields OfKind(Fields f, const KindCase& c) {
  f.anonymous = c.anonymous;
  if (c.anonymous) f.userName.clear();
  f.password = c.password;
  f.tls = c.tls;
  f.sftp = c.sftp;
  f.keyFile = c.keyFile;
  return f;
}

TEST_P(AccountKindTest, AKeyLoginKeepsItsUserNameAndNoKindTurnsAnonymous) {
  const KindCase& c = GetParam();
  AccountFiles files;
  const DestinationAccountFields dest = OfKind(Destination("kind.host"), c);
  ASSERT_TRUE(StoreDestinationAccount(dest, files.dest).ok());
  DestinationAccountFields destBack;
  destBack.host = "kind.host";
  ASSERT_TRUE(RecallDestinationAccount(destBack, "", "", files.dest).ok());
  EXPECT_EQ(Fields(destBack), Fields(dest));

  const SourceAccountFields src = OfKind(Source("kind.host"), c);
  ASSERT_TRUE(StoreSourceAccount(src, files.src).ok());
  SourceAccountFields srcBack;
  srcBack.host = "kind.host";
  ASSERT_TRUE(RecallSourceAccount(srcBack, files.src).ok());
  EXPECT_EQ(std::tie(srcBack.anonymous, srcBack.userName, srcBack.password, srcBack.sftp, srcBack.keyFile),
            std::tie(src.anonymous, src.userName, src.password, src.sftp, src.keyFile));
}

INSTANTIATE_TEST_SUITE_P(Kinds, AccountKindTest,
                         ::testing::Values(KindCase{"ftpAnonymous", true, "", false, false, ""},
                                           KindCase{"ftpUser", false, "pw", false, false, ""},
                                           KindCase{"ftps", false, "pw", true, false, ""},
                                           KindCase{"sftpPassword", false, "pw", false, true, ""},
                                           KindCase{"sftpKey", false, "", false, true, "/home/bob/.ssh/id_ed25519"}),
                         [](const auto& kind) { return std::string(kind.param.name); });

TEST(AccountHistoryTest, ValuesReadBackExactly) {
  AccountFiles files;
  DestinationAccountFields f = Destination("odd.host");
  f.password = "pa;ss ";
  f.remotePath = "/with space ";
  ASSERT_TRUE(StoreDestinationAccount(f, files.dest).ok());
  DestinationAccountFields back;
  back.host = "odd.host";
  ASSERT_TRUE(RecallDestinationAccount(back, "", "", files.dest).ok());
  EXPECT_EQ(back.password, "pa;ss ");
  EXPECT_EQ(back.remotePath, "/with space ");
  // A line break cannot smuggle a key into the file.
  f.password = "x\nPASSIVE=0";
  ASSERT_TRUE(StoreDestinationAccount(f, files.dest).ok());
  ASSERT_TRUE(RecallDestinationAccount(back, "", "", files.dest).ok());
  EXPECT_EQ(back.password, "x");
  EXPECT_TRUE(back.passive);
}

TEST(AccountHistoryTest, UnopenableFileIsReportedWithItsPath) {
  AccountFiles files;
  const std::string missing = (files.dir / "no-such-folder" / "ftpac.ini").string();
  DestinationAccountFields f = Destination("h");
  SourceAccountFields s = Source("h");
  for (const Status& failed : {StoreDestinationAccount(f, missing), RecallDestinationAccount(f, "", "", missing),
                               RecallSourceAccount(s, missing)}) {
    EXPECT_EQ(failed.code(), StatusCode::IoError);
    EXPECT_EQ(failed.path(), missing);
    EXPECT_EQ(failed.sysError(), ENOENT);
    EXPECT_EQ(failed.ToString(), "Cannot open file " + missing + ", make sure you havn't opened it.");
  }
  EXPECT_EQ(f.userName, "bob");
  EXPECT_EQ(s.userName, "ann");
}

TEST(AccountHistoryTest, AFailedWriteIsReportedWithTheFileAndReason) {
  AccountFiles files;
  Status failed;
  {
    const test::FileSizeLimit limit(16);  // below the account's section
    failed = StoreSourceAccount(Source("a.host"), files.src);
  }
  EXPECT_EQ(failed.code(), StatusCode::IoError);
  EXPECT_EQ(failed.path(), files.src);
  EXPECT_EQ(failed.sysError(), EFBIG);
  EXPECT_FALSE(std::filesystem::exists(files.src)) << "no file, as before the store";
}

TEST(AccountHistoryTest, DefaultFilesLieBesideTheProgram) {
  AccountFiles files;
  const std::filesystem::path oldFolder = ProgramFolder();
  SetProgramFolderPath(files.dir.path());
  EXPECT_TRUE(StoreDestinationAccount(Destination("d.host")).ok());
  EXPECT_TRUE(StoreSourceAccount(Source("s.host")).ok());
  SetProgramFolderPath(oldFolder);
  EXPECT_NE(ReadFile(files.dest).find("[d.host]"), std::string::npos);
  EXPECT_NE(ReadFile(files.src).find("[s.host]"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
