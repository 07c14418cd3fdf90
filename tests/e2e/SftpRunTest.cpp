// tarnwick-cli runs against a real OpenSSH server: a compressed upload of local and SFTP-sourced
// files, a copy, and servers whose host key the user's known_hosts does not vouch for.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "app/ProgramFolder.h"
#include "profiles/Profile.h"
#include "support/CliSandbox.h"
#include "support/ScopedEnv.h"
#include "support/SshTestServer.h"

namespace tarnwick::test {
namespace {

class SftpRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    server_ = StartSshTestServer(whyNot);
    if (!server_) GTEST_SKIP() << whyNot;
    WriteFile(dir_ / "home/.ssh/known_hosts", ReadFile(server_->knownHostsFile()));
    WriteFile(server_->root() / "pub/remote file.txt", "R");
    WriteFile(dir_ / "src/local.txt", std::string(200000, 'l'));
  }

  FtpSite Site(const std::string& remotePath) const {
    FtpSite site{"127.0.0.1", std::to_string(server_->port()), server_->user(), "", remotePath, "0", true};
    site.sftp = true;
    site.keyFile = server_->keyFile();
    return site;
  }

  // Saves a profile sending local.txt and the server's "remote file.txt" to /backup on it, logging
  // in with `keyFile` when given.
  void SaveProfile(bool compress, const std::string& keyFile = {}) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = "ssh";
    p.localSources = {{(dir_ / "src/local.txt").string(), "", ItemKind::LocalFile, false}};
    p.remoteSources = {FtpSource{Site(""), {{(server_->root() / "pub").string(), "+[*]", ItemKind::FtpFolder, false}}}};
    p.destIsLocal = false;
    p.ftpDest = Site((server_->root() / "backup").string());
    if (!keyFile.empty()) p.remoteSources[0].site.keyFile = p.ftpDest.keyFile = keyFile;
    p.compress = compress;
    p.zipFileName = "all.zip";
    ProfilePathFor(p);
    ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  }

  ProcessResult Run(const std::vector<std::string>& args = {"run", "ssh"}, const std::string& input = {}) {
    const ScopedEnv home("HOME", (dir_ / "home").c_str());
    const ScopedEnv noAgent("SSH_AUTH_SOCK", nullptr);
    return dir_.RunWithInput(args, input);
  }

  std::unique_ptr<SshTestServer> server_;
  CliSandbox dir_;
};

TEST_F(SftpRunTest, ACopyAndAnArchiveReachTheServerWithTheRemoteSourceInThem) {
  SaveProfile(false);
  ProcessResult result = Run();
  ASSERT_EQ(result.status, 0) << result.out << result.err << server_->Log();
  EXPECT_EQ(ReadFile(server_->root() / "backup/local.txt"), std::string(200000, 'l'));
  EXPECT_EQ(ReadFile(server_->root() / "backup/pub/remote file.txt"), "R");

  SaveProfile(true);
  result = Run();
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  const std::string archive = (server_->root() / "backup/all.zip").string();
  EXPECT_EQ(std::system(("unzip -tq '" + archive + "' >/dev/null").c_str()), 0);
  EXPECT_EQ(FirstOutputLine("unzip -Z1 '" + archive + "' | sort | tr '\\n' ,"), "local.txt,pub/remote file.txt,");
}

TEST_F(SftpRunTest, AnUnknownOrChangedHostKeyEndsTheRunWithARowSayingSo) {
  SaveProfile(false);
  for (const auto& [knownHosts, row] :
       {std::pair<std::string, std::string>{"", "CONNECTFAILED\tUnknown SSH host key SHA256:"},
        {server_->ChangedKnownHostsLine() + "\n", "CONNECTFAILED\tSSH host key changed: the server shows SHA256:"}}) {
    WriteFile(dir_ / "home/.ssh/known_hosts", knownHosts);
    const ProcessResult result = Run();
    EXPECT_EQ(result.status, 1) << result.out;
    EXPECT_NE(result.out.find(row), std::string::npos) << result.out;
    EXPECT_FALSE(std::filesystem::exists(server_->root() / "backup"));
    EXPECT_EQ(ReadFile(dir_ / "home/.ssh/known_hosts"), knownHosts) << "a job never learns a key";
  }
}

TEST_F(SftpRunTest, AProtectedKeyLogsInOnlyWithItsPassphraseAndTheRunSaysWhatIsMissing) {
  const std::string key = (dir_ / "protected_key").string();
  ASSERT_EQ(std::system(("ssh-keygen -q -t ed25519 -N 'open sesame' -f '" + key + "' >/dev/null").c_str()), 0);
  server_->Authorize(key + ".pub");
  SaveProfile(false, key);
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string row;
  };
  const std::string missing = "LOGINFAILED\tThe private key " + key + " is protected by a passphrase";
  for (const Case& c : {Case{{"run", "ssh"}, "open sesame\n", 1, missing},  // a pipe is read only when asked to
                        Case{{"run", "ssh", "--passphrase-stdin"}, "wrong\n", 1, "LOGINFAILED\tLogin Failed."},
                        Case{{"run", "ssh", "--passphrase-stdin"}, "open sesame\n", 0, "LOGINOK"}}) {
    const ProcessResult result = Run(c.args, c.input);
    EXPECT_EQ(result.status, c.status) << c.input << result.out << result.err;
    EXPECT_NE(result.out.find(c.row), std::string::npos) << result.out;
    EXPECT_EQ((result.out + result.err).find(c.input.substr(0, c.input.size() - 1)), std::string::npos);
  }
  EXPECT_EQ(ReadFile(server_->root() / "backup/local.txt"), std::string(200000, 'l'));
}

TEST_F(SftpRunTest, TrustAddsAnUnknownHostKeyOnlyWhenItsFingerprintIsNamedAndNeverReplacesOne) {
  SaveProfile(false);
  const std::string knownHosts = (dir_ / "home/.ssh/known_hosts").string();
  WriteFile(knownHosts, "");
  ProcessResult shown = Run({"trust", "ssh"});
  EXPECT_EQ(shown.status, 1) << shown.out << shown.err;
  const std::size_t at = shown.out.find("unknown SSH host key SHA256:");
  ASSERT_NE(at, std::string::npos) << shown.out;
  const std::string fingerprint = shown.out.substr(at + 21, shown.out.find('\n', at) - at - 21);
  EXPECT_EQ(ReadFile(knownHosts), "") << "nothing is added unasked";

  EXPECT_EQ(Run({"trust", "ssh", "--accept", "SHA256:other"}).status, 1);
  const ProcessResult accepted = Run({"trust", "ssh", "--accept", fingerprint});
  EXPECT_EQ(accepted.status, 0) << accepted.out;
  EXPECT_EQ(ReadFile(knownHosts), ReadFile(server_->knownHostsFile()));
  EXPECT_EQ(Run().status, 0);

  WriteFile(knownHosts, server_->ChangedKnownHostsLine() + "\n");
  const ProcessResult changed = Run({"trust", "ssh", "--accept", fingerprint});
  EXPECT_EQ(changed.status, 1);
  EXPECT_NE(changed.out.find("SSH host key changed"), std::string::npos) << changed.out;
  EXPECT_EQ(ReadFile(knownHosts), server_->ChangedKnownHostsLine() + "\n");
}

}  // namespace
}  // namespace tarnwick::test
