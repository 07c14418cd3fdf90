// Host keys accepted for SFTP go into known_hosts in the form the transport looks them up by, once.
#include "ftp/KnownHosts.h"

#include <gtest/gtest.h>

#include <string>

#include "ftp/FtpSession.h"
#include "support/SshTestServer.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::ReadFile;
using test::WriteFile;

struct HostCase {
  const char* host;  // as the user typed it
  int port;
  const char* name;  // as OpenSSH writes it in known_hosts
};

class KnownHostsNameTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(KnownHostsNameTest, IsTheFormOpenSshWritesForEverySpellingOfTheHost) {
  EXPECT_EQ(KnownHostsName(GetParam().host, GetParam().port), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, KnownHostsNameTest,
    ::testing::Values(HostCase{"backup.example", 22, "backup.example"}, HostCase{"backup.example", 0, "backup.example"},
                      HostCase{"backup.example", 2222, "[backup.example]:2222"}, HostCase{"192.0.2.7", 22, "192.0.2.7"},
                      HostCase{"192.0.2.7", 2222, "[192.0.2.7]:2222"}, HostCase{"::1", 22, "::1"},
                      HostCase{"[::1]", 22, "::1"}, HostCase{"[::1]", 0, "::1"}, HostCase{"::1", 2222, "[::1]:2222"},
                      HostCase{"[::1]", 2222, "[::1]:2222"}, HostCase{"[2001:db8::5]", 8022, "[2001:db8::5]:8022"}));

TEST(AddKnownHostTest, TheSameKeyAcceptedTwiceIsWrittenOnce) {
  test::TempDir dir;
  const std::string file = (dir / "known_hosts").string();
  const std::string line = "[::1]:2222 ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIE";
  WriteFile(file, "other ssh-ed25519 AAAA\n" + line + " comment\r\n# no line break");
  ASSERT_TRUE(AddKnownHost(file, line).ok());
  EXPECT_EQ(ReadFile(file), "other ssh-ed25519 AAAA\n" + line + " comment\r\n# no line break");
  ASSERT_TRUE(AddKnownHost(file, line + "F").ok()) << "another key of the host is still added";
  EXPECT_EQ(ReadFile(file), "other ssh-ed25519 AAAA\n" + line + " comment\r\n# no line break\n" + line + "F\n");
}

// What `trust` and the login test do with an unknown key, against a real server on ::1 reached
// by the host spelled "[::1]": the key is added once, and the next connection finds it.
TEST(KnownHostsIpv6Test, AKeyAcceptedForABracketedAddressIsFoundByTheNextConnection) {
  std::string whyNot;
  test::SshTestServerOptions options;
  options.ipv6 = true;
  const auto server = test::StartSshTestServer(whyNot, options);
  if (!server) GTEST_SKIP() << "no SSH server on ::1 (is IPv6 loopback there?): " << whyNot;
  FtpConnectParams params = server->Account();
  params.host = "[::1]";
  WriteFile(params.knownHostsFile, "");
  std::string line;
  {
    CFtpSession session;
    EXPECT_FALSE(session.Connect(params).ok());
    ASSERT_EQ(session.TlsProblem().kind, FtpTlsFailure::HostKeyUnknown);
    line = session.TlsProblem().knownHostsLine;
  }
  EXPECT_EQ(line.rfind("[::1]:" + std::to_string(server->port()) + " ", 0), 0U) << line;
  ASSERT_TRUE(AddKnownHost(params.knownHostsFile, line).ok());
  ASSERT_TRUE(AddKnownHost(params.knownHostsFile, line).ok());
  EXPECT_EQ(ReadFile(params.knownHostsFile), line + "\n");
  for (const char* host : {"[::1]", "::1"}) {
    params.host = host;
    CFtpSession session;
    const Status connected = session.Connect(params);
    EXPECT_TRUE(connected.ok()) << host << ": " << connected.ToString() << "\n" << ReadFile(params.knownHostsFile);
  }
}

}  // namespace
}  // namespace tarnwick
