#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "ftp/FtpSession.h"
#include "ftp/KnownHosts.h"
#include "support/FtpTestServer.h"
#include "support/SshTestServer.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::SshTestServer;
using test::SshTestServerOptions;
using test::WriteFile;

// The first word ssh-keygen prints for a key's fingerprint.
std::string KeygenFingerprint(const std::string& publicKeyFile) {
  const std::string text = test::FirstOutputLine("ssh-keygen -l -E sha256 -f '" + publicKeyFile + "'");
  const std::size_t start = text.find(' ') + 1;
  return text.substr(start, text.find(' ', start) - start);
}

class SftpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    server_ = test::StartSshTestServer(whyNot);
    if (!server_) GTEST_SKIP() << whyNot;
  }
  std::unique_ptr<SshTestServer> server_;
};

TEST_F(SftpSessionTest, FoldersFilesAndListingsWorkAsOverFtp) {
  const SshTestServer& server = *server_;
  CFtpSession session;
  const Status connected = session.Connect(server.Account());
  ASSERT_TRUE(connected.ok()) << connected.ToString() << server.Log();
  EXPECT_EQ(session.TlsProblem().kind, FtpTlsFailure::None);
  std::string home;
  ASSERT_TRUE(session.GetCurrentDirectory(home).ok());
  EXPECT_EQ(home.front(), '/');

  const std::string folder = (server.root() / "new \"dir\"").string();
  ASSERT_TRUE(session.CreateDirectory(folder).ok());
  EXPECT_EQ(session.CreateDirectory(folder).code(), StatusCode::Refused);
  ASSERT_TRUE(session.SetCurrentDirectory(folder).ok());
  EXPECT_FALSE(session.SetCurrentDirectory(folder + "/missing").ok());

  // Temporary name, then rename over an older copy as the engine does.
  const std::string data(300000, 'x');
  WriteFile(server.root() / "new \"dir\"" / "a file.bin", "old");
  std::unique_ptr<CFtpFile> file;
  ASSERT_TRUE(session.OpenFile("a file.tmp", FtpFileMode::Write, file).ok());
  ASSERT_TRUE(file->Write(data.data(), data.size()).ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(session.Rename("a file.tmp", "a file.bin").code(), StatusCode::Refused);
  ASSERT_TRUE(session.DeleteFile("a file.bin").ok());
  ASSERT_TRUE(session.Rename("a file.tmp", "a file.bin").ok());
  EXPECT_EQ(ReadFile(server.root() / "new \"dir\"" / "a file.bin"), data);

  std::vector<FtpFileInfo> entries;
  ASSERT_TRUE(session.List("", entries).ok());
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].name, "a file.bin");
  EXPECT_EQ(entries[0].size, data.size());
  ASSERT_TRUE(session.List(server.root().string() + "/*", entries).ok());
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_TRUE(entries[0].isDirectory);
  std::uint64_t size = 0;
  ASSERT_TRUE(session.FileSize("a file.bin", size).ok());
  EXPECT_EQ(size, data.size());
  EXPECT_EQ(session.FileSize("missing.bin", size).code(), StatusCode::Refused);
  EXPECT_FALSE(session.OffersHash());
  HashReply hash;
  EXPECT_EQ(session.FileHash("a file.bin", hash).message(), "The server offers no HASH command.");

  ASSERT_TRUE(session.OpenFile("a file.bin", FtpFileMode::Read, file).ok());
  std::string back(data.size() + 1, '\0');
  std::size_t total = 0, got = 0;
  do {
    ASSERT_TRUE(file->Read(back.data() + total, back.size() - total, got).ok());
    total += got;
  } while (got > 0);
  EXPECT_TRUE(file->Close().ok());
  EXPECT_EQ(back.substr(0, total), data);
  EXPECT_FALSE(session.OpenFile("missing.bin", FtpFileMode::Read, file).ok());

  // Stop ends a transfer as over FTP (a file larger than what a read fetches at once).
  WriteFile(server.root() / "new \"dir\"" / "large.bin", std::string(std::size_t{8} << 20, 'l'));
  std::atomic<bool> stop{false};
  session.SetTransferInterruptFlag(&stop);
  const Status reopened = session.OpenFile("large.bin", FtpFileMode::Read, file);
  ASSERT_TRUE(reopened.ok()) << reopened.ToString();
  stop = true;
  std::size_t read = 0;
  Status stopped;
  for (std::size_t i = 0; i < 10 && stopped.ok(); ++i) stopped = file->Read(back.data(), 65536, read);
  EXPECT_EQ(stopped.code(), StatusCode::Stopped);
  stop = false;
  file.reset();

  session.SetListingLimit(100);
  ASSERT_TRUE(session.List(server.root().string(), entries).ok());
  EXPECT_TRUE(session.LastListingWasCut());
}

TEST_F(SftpSessionTest, AKeyTheServerDoesNotKnowIsARefusedLogin) {
  FtpConnectParams params = server_->Account();
  params.keyFile = server_->otherKey();
  CFtpSession session;
  EXPECT_EQ(session.Connect(params).code(), StatusCode::Refused);
  EXPECT_FALSE(session.IsConnected());
}

// A host key the known-hosts file does not hold, or holds another one for, refuses the
// connection before logging in; accepting an unknown key makes the next connection pass.
TEST_F(SftpSessionTest, UnknownAndChangedHostKeysAreRefused) {
  const SshTestServer& server = *server_;
  const std::string fingerprint = KeygenFingerprint(server.knownHostsFile());
  ASSERT_EQ(fingerprint.rfind("SHA256:", 0), 0U);
  const std::string rightLine = ReadFile(server.knownHostsFile());
  struct Case {
    std::string knownHosts;
    FtpTlsFailure kind;
  };
  for (const Case& c : {Case{"", FtpTlsFailure::HostKeyUnknown},
                        Case{server.ChangedKnownHostsLine() + "\n", FtpTlsFailure::HostKeyChanged}}) {
    WriteFile(server.knownHostsFile(), c.knownHosts);
    CFtpSession session;
    const Status connected = session.Connect(server.Account());
    EXPECT_EQ(connected.code(), StatusCode::NetworkError) << connected.ToString();
    EXPECT_NE(connected.message().find(fingerprint), std::string::npos) << connected.message();
    EXPECT_EQ(session.TlsProblem().kind, c.kind);
    EXPECT_EQ(session.TlsProblem().sha256, fingerprint);
    EXPECT_EQ(session.TlsProblem().knownHostsLine + "\n", rightLine);
  }
  WriteFile(server.knownHostsFile(), "# no line break");
  CFtpSession session;
  EXPECT_FALSE(session.Connect(server.Account()).ok());
  ASSERT_TRUE(AddKnownHost(server.knownHostsFile(), session.TlsProblem().knownHostsLine).ok());
  EXPECT_TRUE(session.Connect(server.Account()).ok()) << ReadFile(server.knownHostsFile());
}

// A connection lost during the login is the network's fault, not a refusal: the user should not
// go looking for a wrong key or password.
TEST(SftpDroppedLoginTest, AConnectionLostWhileLoggingInIsNotARefusedLogin) {
  std::string whyNot;
  SshTestServerOptions options;
  options.dropKeyLogins = true;
  const auto server = test::StartSshTestServer(whyNot, options);
  if (!server) GTEST_SKIP() << whyNot;
  CFtpSession session;
  EXPECT_EQ(session.Connect(server->Account()).code(), StatusCode::NetworkError) << server->Log();
}

// Password logins against a server that checks them in a private copy of /etc/shadow.
class SftpPasswordTest : public ::testing::Test {
 protected:
  static constexpr const char* kPassword = "Tw-test-7f3k";

  void SetUp() override {
    if (getuid() == 0) systemShadow_ = ReadFile("/etc/shadow");
    std::string whyNot;
    server_ = test::StartSshTestServer(whyNot, {kPassword});
    if (!server_) GTEST_SKIP() << whyNot;
  }

  FtpConnectParams Account(const std::string& password) const {
    FtpConnectParams params = server_->Account();
    params.keyFile.clear();
    params.password = password;
    return params;
  }

  std::string systemShadow_;
  std::unique_ptr<SshTestServer> server_;
};

TEST_F(SftpPasswordTest, TheRightPasswordLogsInAndMovesFiles) {
  CFtpSession session;
  const Status connected = session.Connect(Account(kPassword));
  ASSERT_TRUE(connected.ok()) << connected.ToString() << server_->Log();
  const std::string path = (server_->root() / "up.bin").string();
  std::unique_ptr<CFtpFile> file;
  ASSERT_TRUE(session.OpenFile(path, FtpFileMode::Write, file).ok());
  ASSERT_TRUE(file->Write("password", 8).ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(ReadFile(path), "password");
  ASSERT_TRUE(session.OpenFile(path, FtpFileMode::Read, file).ok());
  char back[16] = {};
  std::size_t got = 0;
  ASSERT_TRUE(file->Read(back, sizeof back, got).ok());
  EXPECT_EQ(std::string(back, got), "password");
  // The server's copy of the shadow file never reaches the rest of the machine.
  EXPECT_EQ(ReadFile("/etc/shadow"), systemShadow_);
}

TEST_F(SftpPasswordTest, AWrongPasswordIsARefusedLogin) {
  CFtpSession session;
  const Status connected = session.Connect(Account("wrong-password"));
  EXPECT_EQ(connected.code(), StatusCode::Refused) << connected.ToString();
  EXPECT_EQ(connected.message().find("wrong-password"), std::string::npos) << connected.message();
  EXPECT_FALSE(session.IsConnected());
}

TEST(SftpTimeoutTest, AServerThatNeverSpeaksFailsWithinTheConnectTimeout) {
  const test::SilentListener silent;
  FtpConnectParams params{"127.0.0.1", silent.port(), "u", ""};
  params.sftp = true;
  CFtpSession session({std::chrono::milliseconds(300), std::chrono::milliseconds(300)});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(session.Connect(params).code(), StatusCode::NetworkError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SftpSessionTest, ANameWithALineBreakForgesNoEntryAndHidesNoFile) {
  const SshTestServer& server = *server_;
  // The tail of this name reads as an "ls -l" line of a file of its own.
  const std::string forging = "evil\n-rw-r--r-- 1 u g 9 Jan 01  2020 forged.txt";
  WriteFile(server.root() / "pub" / forging, "12345");
  WriteFile(server.root() / "pub/good.txt", "good");
  WriteFile(server.root() / "pub/ leading blank", "b");
  CFtpSession session;
  ASSERT_TRUE(session.Connect(server.Account()).ok()) << server.Log();
  std::vector<FtpFileInfo> entries;
  ASSERT_TRUE(session.List((server.root() / "pub").string(), entries).ok());
  std::map<std::string, std::uint64_t> sizes;
  for (const FtpFileInfo& entry : entries) sizes[entry.name] = entry.size;
  EXPECT_EQ(sizes, (std::map<std::string, std::uint64_t>{{forging, 5}, {"good.txt", 4}, {" leading blank", 1}}));
}

}  // namespace
}  // namespace tarnwick
