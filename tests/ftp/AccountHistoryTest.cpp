#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "app/ProgramFolder.h"
#include "ftp/AccountHistory.h"
#include "support/RecordingPrompts.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::WriteFile;

class AccountHistoryTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingPrompts prompts;
  std::string destFile = (dir / "ftpac.ini").string();
  std::string srcFile = (dir / "ftpsrc.ini").string();

  static DestinationAccountFields Destination(const std::string& host) {
    DestinationAccountFields f;
    f.host = host;
    f.port = "2121";
    f.userName = "bob";
    f.password = "s3cret";
    f.remotePath = "/backup";
    f.passive = true;
    return f;
  }
  static SourceAccountFields Source(const std::string& host) {
    SourceAccountFields f;
    f.host = host;
    f.port = "21";
    f.userName = "ann";
    f.password = "pw";
    f.initialPath = "/pub";
    f.serverType = kUnixServer;
    return f;
  }
};

TEST_F(AccountHistoryTest, DestinationFileHoldsFiveKeysInOrderForTheOwnerOnly) {
  ASSERT_TRUE(StoreDestinationAccount(Destination("ftp.example.com"), prompts, destFile));
  EXPECT_EQ(ReadFile(destFile),
            "[ftp.example.com]\nPORT=2121\nUSERNAME=bob\nPASSWORD=s3cret\nINIDIR=/backup\nPASSIVE=1\n");
  struct stat st {};
  ASSERT_EQ(::stat(destFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  DestinationAccountFields f;
  f.host = "ftp.example.com";
  ASSERT_TRUE(RecallDestinationAccount(f, "other.host", "/profile/path", prompts, destFile));
  EXPECT_FALSE(f.anonymous);
  EXPECT_EQ(f.userName, "bob");
  EXPECT_EQ(f.password, "s3cret");
  EXPECT_EQ(f.port, "2121");
  EXPECT_EQ(f.remotePath, "/backup");
  EXPECT_TRUE(f.passive);
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AccountHistoryTest, AnonymousAccountsStoreNoCredentials) {
  DestinationAccountFields anon = Destination("anon.host");
  anon.anonymous = true;
  anon.passive = false;
  ASSERT_TRUE(StoreDestinationAccount(anon, prompts, destFile));
  EXPECT_EQ(ReadFile(destFile), "[anon.host]\nPORT=2121\nUSERNAME=\nPASSWORD=\nINIDIR=/backup\nPASSIVE=0\n");

  // A user name without a password also recalls as anonymous, with both fields emptied.
  WriteFile(destFile, "[half.host]\nUSERNAME=joe\nPORT=21\n");
  DestinationAccountFields f = Destination("half.host");
  ASSERT_TRUE(RecallDestinationAccount(f, "", "", prompts, destFile));
  EXPECT_TRUE(f.anonymous);
  EXPECT_EQ(f.userName, "");
  EXPECT_EQ(f.password, "");
  EXPECT_EQ(f.port, "21");
}

TEST_F(AccountHistoryTest, UnknownHostClearsTheFields) {
  DestinationAccountFields f = Destination("never.seen");
  ASSERT_TRUE(RecallDestinationAccount(f, "", "", prompts, destFile));
  EXPECT_TRUE(f.anonymous);
  EXPECT_EQ(f.userName, "");
  EXPECT_EQ(f.password, "");
  EXPECT_EQ(f.port, "");
  EXPECT_EQ(f.remotePath, "");
  EXPECT_FALSE(f.passive);
  EXPECT_TRUE(std::filesystem::exists(destFile));  // opened, so created empty
}

TEST_F(AccountHistoryTest, ProfileHostKeepsItsOwnRemotePathComparedExactly) {
  ASSERT_TRUE(StoreDestinationAccount(Destination("Ftp.Host"), prompts, destFile));
  DestinationAccountFields f;
  f.host = "Ftp.Host";
  RecallDestinationAccount(f, "Ftp.Host", "/from/profile", prompts, destFile);
  EXPECT_EQ(f.remotePath, "/from/profile");
  // Another spelling finds the same section but is not the profile's host.
  f.host = "ftp.host";
  RecallDestinationAccount(f, "Ftp.Host", "/from/profile", prompts, destFile);
  EXPECT_EQ(f.remotePath, "/backup");
  EXPECT_EQ(f.userName, "bob");
}

TEST_F(AccountHistoryTest, HostSpellingsShareOneSectionAndCaseChangesAreSaved) {
  ASSERT_TRUE(StoreDestinationAccount(Destination("FTP.example.com"), prompts, destFile));
  DestinationAccountFields again = Destination("ftp.EXAMPLE.com");
  again.password = "S3CRET";  // only the letter case differs
  ASSERT_TRUE(StoreDestinationAccount(again, prompts, destFile));
  EXPECT_EQ(ReadFile(destFile),
            "[FTP.example.com]\nPORT=2121\nUSERNAME=bob\nPASSWORD=S3CRET\nINIDIR=/backup\nPASSIVE=1\n");
}

TEST_F(AccountHistoryTest, ValuesReadBackExactly) {
  DestinationAccountFields f = Destination("odd.host");
  f.password = "pa;ss ";
  f.remotePath = "/with space ";
  ASSERT_TRUE(StoreDestinationAccount(f, prompts, destFile));
  DestinationAccountFields back;
  back.host = "odd.host";
  RecallDestinationAccount(back, "", "", prompts, destFile);
  EXPECT_EQ(back.password, "pa;ss ");
  EXPECT_EQ(back.remotePath, "/with space ");
  // A line break cannot smuggle a key into the file.
  f.password = "x\nPASSIVE=0";
  StoreDestinationAccount(f, prompts, destFile);
  RecallDestinationAccount(back, "", "", prompts, destFile);
  EXPECT_EQ(back.password, "x");
  EXPECT_TRUE(back.passive);
}

TEST_F(AccountHistoryTest, EmptyOrDisabledHostChangesNothing) {
  WriteFile(destFile, "[a.host]\nPORT=21\nUSERNAME=u\nPASSWORD=p\n");
  ASSERT_TRUE(StoreDestinationAccount(Destination(""), prompts, destFile));
  EXPECT_EQ(ReadFile(destFile), "[a.host]\nPORT=21\nUSERNAME=u\nPASSWORD=p\n");

  DestinationAccountFields f = Destination("");
  ASSERT_TRUE(RecallDestinationAccount(f, "", "", prompts, destFile));
  EXPECT_EQ(f.userName, "bob");
  f.host = "a.host";
  f.hostEnabled = false;
  ASSERT_TRUE(RecallDestinationAccount(f, "", "", prompts, destFile));
  EXPECT_EQ(f.userName, "bob");
}

TEST_F(AccountHistoryTest, UnopenableFileIsReportedWithItsPath) {
  const std::string missing = (dir / "no-such-folder" / "ftpac.ini").string();
  DestinationAccountFields f = Destination("h");
  EXPECT_FALSE(StoreDestinationAccount(f, prompts, missing));
  EXPECT_FALSE(RecallDestinationAccount(f, "", "", prompts, missing));
  SourceAccountFields s = Source("h");
  EXPECT_FALSE(RecallSourceAccount(s, prompts, missing));
  ASSERT_EQ(prompts.messages.size(), 3u);
  EXPECT_EQ(prompts.messages[0], "Cannot open file " + missing + ", make sure you havn't opened it.");
  EXPECT_EQ(f.userName, "bob");
  EXPECT_EQ(s.userName, "ann");
}

TEST_F(AccountHistoryTest, SourceFileHoldsSixKeysAndMatchesServerTypeByPrefix) {
  ASSERT_TRUE(StoreSourceAccount(Source("src.host"), prompts, srcFile));
  EXPECT_EQ(ReadFile(srcFile),
            "[src.host]\nPORT=21\nUSERNAME=ann\nPASSWORD=pw\nPASSIVE=0\nINIDIR=/pub\nSERVERTYPE=Unix Server\n");
  SourceAccountFields none = Source("other.host");
  none.serverType = -1;
  ASSERT_TRUE(StoreSourceAccount(none, prompts, srcFile));
  EXPECT_NE(ReadFile(srcFile).find("[other.host]\nPORT=21\nUSERNAME=ann\nPASSWORD=pw\nPASSIVE=0\nINIDIR=/pub\n"
                                   "SERVERTYPE=Windows Server\n"),
            std::string::npos);

  struct Case {
    const char* stored;
    int expected;
  } cases[] = {{"Unix Server", kUnixServer}, {"uNiX", kUnixServer}, {"Windows", kWindowsServer},
               {"Linux", kWindowsServer},    {"", kWindowsServer}};
  for (const Case& c : cases) {
    WriteFile(srcFile, std::string("[s]\nPORT=990\nUSERNAME=u\nPASSWORD=p\nPASSIVE=1\nINIDIR=/in\nSERVERTYPE=") +
                           c.stored + "\n");
    SourceAccountFields f;
    f.host = "S";
    f.serverType = -1;
    ASSERT_TRUE(RecallSourceAccount(f, prompts, srcFile));
    EXPECT_EQ(f.serverType, c.expected) << c.stored;
    EXPECT_EQ(f.port, "990");
    EXPECT_EQ(f.userName, "u");
    EXPECT_EQ(f.password, "p");
    EXPECT_EQ(f.initialPath, "/in");
    EXPECT_TRUE(f.passive);
    EXPECT_FALSE(f.anonymous);
  }
}

TEST_F(AccountHistoryTest, DefaultFilesLieBesideTheProgram) {
  const std::filesystem::path oldFolder = ProgramFolder();
  SetProgramFolderPath(dir.path());
  EXPECT_TRUE(StoreDestinationAccount(Destination("d.host"), prompts));
  EXPECT_TRUE(StoreSourceAccount(Source("s.host"), prompts));
  SetProgramFolderPath(oldFolder);
  EXPECT_NE(ReadFile(destFile).find("[d.host]"), std::string::npos);
  EXPECT_NE(ReadFile(srcFile).find("[s.host]"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
