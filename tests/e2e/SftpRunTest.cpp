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

  // Saves a profile sending local.txt and the server's "remote file.txt" to /backup on it.
  void SaveProfile(bool compress) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = "ssh";
    p.localSources = {{(dir_ / "src/local.txt").string(), "", ItemKind::LocalFile, false}};
    p.remoteSources = {FtpSource{Site(""), {{(server_->root() / "pub").string(), "+[*]", ItemKind::FtpFolder, false}}}};
    p.destIsLocal = false;
    p.ftpDest = Site((server_->root() / "backup").string());
    p.compress = compress;
    p.zipFileName = "all.zip";
    ProfilePathFor(p);
    ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  }

  ProcessResult Run() {
    const ScopedEnv home("HOME", (dir_ / "home").c_str());
    return dir_.Run({"run", "ssh"});
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

}  // namespace
}  // namespace tarnwick::test
