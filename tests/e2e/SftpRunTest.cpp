// tarnwick-cli runs against a real OpenSSH server: a compressed upload of local and SFTP-sourced
// files, a copy, servers whose host key the user's known_hosts does not vouch for, password
// logins and sessions the server drops in the middle of a transfer.

#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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
    Serve({});
    if (!server_) return;
    WriteFile(server_->root() / "pub/remote file.txt", "R");
    WriteFile(dir_ / "src/local.txt", std::string(200000, 'l'));
  }

  // (Re)starts the server, trusted through the user's known_hosts.
  void Serve(const SshTestServerOptions& options) {
    std::string whyNot;
    server_ = StartSshTestServer(whyNot, options);
    if (!server_) GTEST_SKIP() << whyNot;
    WriteFile(dir_ / "home/.ssh/known_hosts", ReadFile(server_->knownHostsFile()));
  }

  // A key login, or a password login when `password` is given.
  FtpSite Site(const std::string& remotePath, const std::string& password = "") const {
    FtpSite site{"127.0.0.1", std::to_string(server_->port()), server_->user(), password, remotePath, "0", true};
    site.sftp = true;
    if (password.empty()) site.keyFile = server_->keyFile();
    return site;
  }

  void SaveProfile(const std::function<void(Profile&)>& adjust) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = "ssh";
    adjust(p);
    ProfilePathFor(p);
    ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  }

  // Saves a profile sending local.txt and the server's "remote file.txt" to /backup on it, logging
  // in with `keyFile` when given.
  void SaveProfile(bool compress, const std::string& keyFile = {}) {
    SaveProfile([&](Profile& p) {
      p.localSources = {{(dir_ / "src/local.txt").string(), "", ItemKind::LocalFile, false}};
      p.remoteSources = {
          FtpSource{Site(""), {{(server_->root() / "pub").string(), "+[*]", ItemKind::FtpFolder, false}}}};
      p.destIsLocal = false;
      p.ftpDest = Site((server_->root() / "backup").string());
      if (!keyFile.empty()) p.remoteSources[0].site.keyFile = p.ftpDest.keyFile = keyFile;
      p.compress = compress;
      p.zipFileName = "all.zip";
    });
  }

  ProcessResult Run(const std::vector<std::string>& args = {"run", "ssh"}, const std::string& input = {}) {
    const ScopedEnv home("HOME", (dir_ / "home").c_str());
    const ScopedEnv noAgent("SSH_AUTH_SOCK", nullptr);
    return dir_.RunWithInput(args, input);
  }

  // Runs the saved profile and drops the server's sessions once 4 MiB have arrived under
  // `arriving`, mid-transfer; the run must then end by itself.
  ProcessResult RunAndDropSessions(const std::filesystem::path& arriving) {
    const ScopedEnv home("HOME", (dir_ / "home").c_str());
    const pid_t pid = dir_.Start({"run", "ssh"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (BytesUnder(arriving) < (4U << 20) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_GT(server_->DropSessions(), 0) << "no transfer to cut short";
    return dir_.Finish(pid, std::chrono::seconds(20));
  }

  static std::uintmax_t BytesUnder(const std::filesystem::path& folder) {
    std::uintmax_t bytes = 0;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      if (it->is_regular_file(error)) bytes += it->file_size(error);
    }
    return bytes;
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

// SFTP has no HASH: the check alone says it compared sizes only, and read back it finds a copy
// changed on the server with its size kept.
TEST_F(SftpRunTest, VerifySaysSizeOnlyAndReadBackFindsAChangedCopy) {
  SaveProfile(false);
  ProcessResult result = Run();
  ASSERT_EQ(result.status, 0) << result.out << result.err << server_->Log();
  const std::string copy = (server_->root() / "backup/local.txt").string();
  WriteFile(copy, std::string(199999, 'l') + "L");

  result = Run({"verify", "ssh"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("\tVERIFY\t" + copy + " verified (size only: the server offers no HASH).\n"),
            std::string::npos)
      << result.out;
  result = Run({"verify", "ssh", "--read-back"});
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("\tERROR\tVerify " + copy +
                            " failed: its content differs from its source from byte 199999 on.\n"),
            std::string::npos)
      << result.out;
}

// The tail of this name reads as a listing line of a file of its own; the name is one failed file.
TEST_F(SftpRunTest, ANameWithALineBreakIsOneFailedFileAndForgesNone) {
  WriteFile(server_->root() / "pub" / "evil\n-rw-r--r-- 1 u g 9 Jan 01  2020 forged.txt", "E");
  WriteFile(server_->root() / "pub/forged.txt.not", "N");
  SaveProfile([&](Profile& p) {
    p.remoteSources = {FtpSource{Site(""), {{(server_->root() / "pub").string(), "+[*]", ItemKind::FtpFolder, false}}}};
    p.localDestFolder = (dir_ / "dst").string();
  });
  const ProcessResult result = Run();
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  const std::filesystem::path copied = dir_ / "dst" / "pub";
  EXPECT_EQ(ReadFile(copied / "remote file.txt"), "R") << result.out;
  EXPECT_EQ(ReadFile(copied / "forged.txt.not"), "N");
  EXPECT_FALSE(std::filesystem::exists(copied / "forged.txt"));
  std::size_t failed = 0;
  for (std::size_t at = 0; (at = result.out.find("\tERROR\t", at)) != std::string::npos; ++at) ++failed;
  EXPECT_EQ(failed, 1u) << result.out;
  EXPECT_NE(result.out.find("x0A-rw-r--r-- 1 u g 9 Jan 01  2020 forged.txt Failed."), std::string::npos) << result.out;
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

// How a run nobody watches uses a protected key: an SSH agent holds it, unlocked once.
TEST_F(SftpRunTest, AnAgentHoldingAProtectedKeyLogsInWithoutBeingToldThePassphrase) {
  const std::string key = (dir_ / "protected_key").string();
  ASSERT_EQ(std::system(("ssh-keygen -q -t ed25519 -N 'open sesame' -f '" + key + "' >/dev/null").c_str()), 0);
  server_->Authorize(key + ".pub");
  const std::string socket = (dir_ / "agent.sock").string();
  const pid_t agent =
      StartProcess({"/usr/bin/ssh-agent", "-D", "-a", socket}, dir_.path(), dir_ / "agent.out", dir_ / "agent.err");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(socket) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  WriteFile(dir_ / "askpass", "#!/bin/sh\necho 'open sesame'\n");
  std::filesystem::permissions(dir_ / "askpass", std::filesystem::perms::owner_all);
  const std::string add = "SSH_AUTH_SOCK='" + socket + "' SSH_ASKPASS='" + (dir_ / "askpass").string() +
                          "' SSH_ASKPASS_REQUIRE=force ssh-add '" + key + "' </dev/null >/dev/null 2>&1";
  const bool added = std::system(add.c_str()) == 0;
  SaveProfile(false, key);
  ProcessResult result;
  if (added) {
    const ScopedEnv home("HOME", (dir_ / "home").c_str());
    const ScopedEnv agentSocket("SSH_AUTH_SOCK", socket);
    result = dir_.Run({"run", "ssh"});
  }
  kill(agent, SIGTERM);
  WaitProcess(agent);
  ASSERT_TRUE(added) << "ssh-add failed: " << add;
  EXPECT_EQ(result.status, 0) << result.out << result.err;
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
  // Base64 tells letters apart by case: the key's fingerprint in other case names another key.
  std::string otherCase = fingerprint;
  for (std::size_t i = 7; i < otherCase.size(); ++i) {
    const auto c = static_cast<unsigned char>(otherCase[i]);
    otherCase[i] = static_cast<char>(std::islower(c) ? std::toupper(c) : std::tolower(c));
  }
  ASSERT_NE(otherCase, fingerprint);
  EXPECT_EQ(Run({"trust", "ssh", "--accept", otherCase}).status, 1);
  EXPECT_EQ(ReadFile(knownHosts), "");
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

TEST_F(SftpRunTest, AWrongPasswordLogsARefusedLoginWithoutThePassword) {
  Serve({"Tw-test-7f3k"});
  if (!server_) return;
  SaveProfile([&](Profile& p) {
    p.localSources = {{(dir_ / "src/local.txt").string(), "", ItemKind::LocalFile, false}};
    p.destIsLocal = false;
    p.ftpDest = Site((server_->root() / "backup").string(), "wrong-password");
  });
  const ProcessResult result = Run();
  EXPECT_EQ(result.status, 1) << result.out;
  for (const char* row : {"\tLOGGINGIN\tUSER: ", "\tLOGINFAILED\tLogin Failed.\n", "\tBACKUPEND\t"}) {
    EXPECT_NE(result.out.find(row), std::string::npos) << row << " in\n" << result.out;
  }
  EXPECT_EQ(result.out.find("wrong-password"), std::string::npos) << result.out;
  EXPECT_EQ(result.err.find("wrong-password"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(server_->root() / "backup"));
}

constexpr std::uintmax_t kLargeFile = std::uintmax_t{256} << 20;

TEST_F(SftpRunTest, ASessionDroppedDuringAnUploadFailsTheRunAndLeavesNoFile) {
  WriteFile(dir_ / "src/large.bin", "");
  std::filesystem::resize_file(dir_ / "src/large.bin", kLargeFile);
  SaveProfile([&](Profile& p) {
    p.localSources = {{(dir_ / "src/large.bin").string(), "", ItemKind::LocalFile, false}};
    p.destIsLocal = false;
    p.ftpDest = Site((server_->root() / "backup").string());
  });
  const ProcessResult result = RunAndDropSessions(server_->root() / "backup");
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("\tERROR\t"), std::string::npos) << result.out;
  EXPECT_FALSE(std::filesystem::exists(server_->root() / "backup/large.bin"));
  EXPECT_EQ(BytesUnder(server_->root() / "backup"), 0U) << "the partial upload is deleted after a fresh login";
}

TEST_F(SftpRunTest, ASessionDroppedDuringADownloadFailsTheRunAndLeavesNoFile) {
  WriteFile(server_->root() / "pub/large.bin", "");
  std::filesystem::resize_file(server_->root() / "pub/large.bin", kLargeFile);
  SaveProfile([&](Profile& p) {
    p.remoteSources = {
        FtpSource{Site(""), {{(server_->root() / "pub/large.bin").string(), "", ItemKind::FtpFile, false}}}};
    p.localDestFolder = (dir_ / "dst").string();
  });
  const ProcessResult result = RunAndDropSessions(dir_ / "dst");
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("\tERROR\t"), std::string::npos) << result.out;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "dst/large.bin"));
  EXPECT_EQ(BytesUnder(dir_ / "dst"), 0U) << "no partial download is kept";
}

}  // namespace
}  // namespace tarnwick::test
