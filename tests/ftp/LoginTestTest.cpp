#include "ftp/LoginTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "app/StringTable.h"
#include "support/FtpTestServer.h"
#include "support/SshTestServer.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::FtpTestServer;

// Shows what the dialog would list: the lines of each event in arrival order.
class DialogLines : public LoginTestObserver {
 public:
  explicit DialogLines(const LoginTestRequest& request) : request_(request) {}

  void OnConnecting() override { Add(LoginTestEvent::Connecting); }
  void OnConnected() override { Add(LoginTestEvent::Connected); }
  void OnFailed(const FtpTlsProblem& tls, const std::string& reason) override {
    Add(LoginTestEvent::Failed, false, tls, reason);
  }
  void OnDirectory(bool changed) override { Add(LoginTestEvent::Directory, changed); }
  void OnSucceeded() override { Add(LoginTestEvent::Succeeded); }

  std::vector<std::string> lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  void Add(LoginTestEvent event, bool changed = false, const FtpTlsProblem& tls = {}, const std::string& reason = {}) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& line : LoginTestLines(event, request_, changed, tls, reason)) lines_.push_back(std::move(line));
  }

  const LoginTestRequest request_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

std::vector<std::string> RunTest(const LoginTestRequest& request) {
  DialogLines dialog(request);
  {
    CLoginTest test(request, dialog);
    EXPECT_TRUE(test.Start());
    EXPECT_TRUE(test.WaitFor(std::chrono::seconds(30)));
  }
  return dialog.lines();
}

LoginTestRequest Request(const FtpTestServer& server, std::string folder = "") {
  return {server.host(), server.user(), server.password(), std::move(folder), true, server.port()};
}

TEST(LoginTestTest, SuccessfulLoginListsEachStep) {
  FtpTestServer server;
  std::filesystem::create_directories(server.root() / "backup");
  const std::string host = "Connecting 127.0.0.1:" + std::to_string(server.port()) + ".";
  EXPECT_EQ(RunTest(Request(server, "/backup")),
            (std::vector<std::string>{host, "Socket connected.", "USER backup", "Current directory is /backup.",
                                      "Login test successfully."}));
  // No folder: no folder line.
  EXPECT_EQ(RunTest(Request(server)),
            (std::vector<std::string>{host, "Socket connected.", "USER backup", "Login test successfully."}));
  // A refused folder still ends in success: the login itself worked.
  EXPECT_EQ(RunTest(Request(server, "nowhere")),
            (std::vector<std::string>{host, "Socket connected.", "USER backup",
                                      "Cannot set remote directory to nowhere.", "Login test successfully."}));
}

TEST(LoginTestTest, RefusedOrUnreachableLoginEndsWithTheFailureLine) {
  FtpTestServer server;
  LoginTestRequest request = Request(server, "/backup");
  request.password = "wrong";
  const std::vector<std::string> refused = RunTest(request);
  ASSERT_EQ(refused.size(), 5u);
  EXPECT_EQ(refused[1], "Socket connected.");
  EXPECT_EQ(refused[3], "Unable to login to host 127.0.0.1.");
  // The server's own reply says why.
  EXPECT_EQ(refused[4].rfind("Reason: ", 0), 0u) << refused[4];
  EXPECT_NE(refused[4].find("530"), std::string::npos) << refused[4];

  // The anonymous login goes out with no name and is shown as "anonymous".
  request.user.clear();
  request.password.clear();
  request.remoteFolder.clear();
  const std::vector<std::string> anonymous = RunTest(request);
  ASSERT_EQ(anonymous.size(), 4u);
  EXPECT_EQ(anonymous[2], "USER anonymous");
  EXPECT_EQ(anonymous[3], "Login test successfully.");

  // A refused connection said "Socket connected." and gave no cause: now no such line, and the
  // reason names the host and port.
  request.port = test::ClosedLoopbackPort();
  const std::vector<std::string> unreachable = RunTest(request);
  ASSERT_EQ(unreachable.size(), 3u);
  EXPECT_EQ(unreachable[1], "Unable to login to host 127.0.0.1.");
  EXPECT_EQ(unreachable[2].rfind("Reason: 127.0.0.1 port " + std::to_string(request.port) + ": ", 0), 0u)
      << unreachable[2];
}

// A TLS login shows that it was secured, and a certificate that does not verify shows why with its
// fingerprint, so that the user can compare it with the server's before trusting it.
TEST(LoginTestTest, TlsLoginsTellSecuredOrWhyNot) {
  const test::TestCertificates certs;
  FtpTestServer trusted(certs.Server("trusted"));
  LoginTestRequest request = Request(trusted);
  request.tls = true;
  request.caFile = certs.Ca();
  request.trustFile = certs.Pem("no-trust-file");
  EXPECT_EQ(RunTest(request).at(3), LoadString(IDS_LOGIN_TEST_TLS));

  FtpTestServer selfSigned(certs.Server("selfsigned"));
  request.port = selfSigned.port();
  const std::vector<std::string> untrusted = RunTest(request);
  ASSERT_EQ(untrusted.size(), 5u);
  EXPECT_EQ(untrusted[3], "Unable to login to host 127.0.0.1.");
  EXPECT_EQ(untrusted[4].rfind("Server certificate not trusted: the certificate is self-signed (SHA-256 ", 0), 0u)
      << untrusted[4];

  FtpTestServer plain;
  request.port = plain.port();
  EXPECT_EQ(RunTest(request).back(), "Server does not offer TLS.");
}

TEST(LoginTestTest, SftpLoginsTellTheHostKeyTheyDoNotKnow) {
  std::string whyNot;
  const auto server = test::StartSshTestServer(whyNot);
  if (!server) GTEST_SKIP() << whyNot;
  const FtpConnectParams account = server->Account();
  LoginTestRequest request{account.host, account.user, "", "", false, account.port};
  request.sftp = true;
  request.keyFile = account.keyFile;
  request.knownHostsFile = account.knownHostsFile;
  EXPECT_EQ(RunTest(request).at(3), LoadString(IDS_LOGIN_TEST_SFTP));

  test::WriteFile(account.knownHostsFile, "");
  const std::vector<std::string> unknown = RunTest(request);
  ASSERT_EQ(unknown.size(), 5u);
  EXPECT_EQ(unknown[4].rfind("Unknown SSH host key SHA256:", 0), 0u) << unknown[4];
  EXPECT_NE(unknown[4].find(account.knownHostsFile), std::string::npos) << unknown[4];
}

TEST(LoginTestTest, SftpPasswordLoginsSucceedOrFailAsTheServerSays) {
  std::string whyNot;
  const auto server = test::StartSshTestServer(whyNot, {"Tw-test-7f3k"});
  if (!server) GTEST_SKIP() << whyNot;
  const FtpConnectParams account = server->Account();
  for (const auto& [password, last] : {std::pair<std::string, std::string>{"Tw-test-7f3k", "Login test successfully."},
                                       {"wrong-password", "Unable to login to host 127.0.0.1."}}) {
    LoginTestRequest request{account.host, account.user, password, "", false, account.port};
    request.sftp = true;
    request.knownHostsFile = account.knownHostsFile;
    const std::vector<std::string> lines = RunTest(request);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::find(lines.begin(), lines.end(), last), lines.end()) << server->Log();
    for (const std::string& line : lines) EXPECT_EQ(line.find(password), std::string::npos) << line;
  }
}

TEST(LoginTestTest, PortTextIsShownAsItsNumber) {
  LoginTestRequest request{"ftp.example.org", "", "", "", false, PortFromText("0021")};
  EXPECT_EQ(LoginTestLines(LoginTestEvent::Connecting, request),
            (std::vector<std::string>{"Connecting ftp.example.org:21."}));
}

TEST(LoginTestTest, EndingATestWaitingOnTheNetworkIsQuickAndSilent) {
  // A server that never answers: the test would wait for the full connect time-out.
  test::SilentListener silent;
  LoginTestRequest request{"127.0.0.1", "u", "p", "", true, silent.port()};
  DialogLines dialog(request);
  const auto start = std::chrono::steady_clock::now();
  {
    CLoginTest test(request, dialog);
    ASSERT_TRUE(test.Start());
    EXPECT_FALSE(test.WaitFor(std::chrono::milliseconds(500)));  // what OK waits at most
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // Nothing after the first step (the server never answered, so no "Socket connected."): no
  // failure line for a test the dialog gave up on.
  const std::vector<std::string> lines = dialog.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Connecting 127.0.0.1:" + std::to_string(silent.port()) + ".");
}

}  // namespace
}  // namespace tarnwick
