// tarnwick-cli runs to a server that requires TLS, and a TLS profile against one without it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <string>

#include "app/ProgramFolder.h"
#include "ftp/CertificateTrust.h"
#include "profiles/Profile.h"
#include "support/CliSandbox.h"
#include "support/FtpTestServer.h"
#include "support/ScopedEnv.h"

namespace tarnwick::test {
namespace {

struct FtpsCase {
  const char* what;
  bool serverTls;
  int exitStatus;
  const char* row;  // a row the run must log
};

class FtpsRunTest : public ::testing::TestWithParam<FtpsCase> {};

// Saves profile `name` sending the sandbox's src/a.txt to /backup on the server over TLS.
void SaveTlsProfile(const CliSandbox& dir, const FtpTestServer& server, const std::string& name) {
  Profile p;
  ResetSchedule(p.schedule, std::time(nullptr));
  p.name = name;
  p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
  p.destIsLocal = false;
  p.ftpDest =
      FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(), "/backup", "1", false};
  p.ftpDest.tls = true;
  ProfilePathFor(p);
  ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
}

TEST_P(FtpsRunTest, UploadsOverTlsOrRefusesAServerWithoutIt) {
  const TestCertificates certs;
  // The test authority stands in for the system's store, in the program started below.
  const ScopedEnv ca("TARNWICK_CA_FILE", certs.Ca());
  FtpTestServer server(GetParam().serverTls ? certs.Server("trusted") : FtpTestServerOptions{});
  CliSandbox dir;
  WriteFile(dir / "src/a.txt", std::string(300000, 'a'));
  SaveTlsProfile(dir, server, "secured");

  const ProcessResult result = dir.Run({"run", "secured"});
  EXPECT_EQ(result.status, GetParam().exitStatus) << result.out << result.err << server.Log();
  EXPECT_NE(result.out.find(GetParam().row), std::string::npos) << result.out;
  if (GetParam().serverTls) {
    EXPECT_EQ(ReadFile(server.root() / "backup/a.txt"), std::string(300000, 'a'));
    EXPECT_NE(server.Log().find("PROT P"), std::string::npos);
  } else {
    EXPECT_EQ(server.Log().find("USER"), std::string::npos) << "nothing sent in clear";
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpsRunTest,
                         ::testing::Values(FtpsCase{"tls", true, 0, "LOGINOK\tUser login OK."},
                                           FtpsCase{"plain", false, 1, "CONNECTFAILED\tServer does not offer TLS."}),
                         [](const auto& tested) { return std::string(tested.param.what); });

TEST(FtpsTrustTest, TrustStoresACertificateOnlyWhenItsFingerprintIsNamedAndTheRunThenGoesThrough) {
  const TestCertificates certs;
  const ScopedEnv ca("TARNWICK_CA_FILE", certs.Ca());
  FtpTestServer server(certs.Server("selfsigned"));
  CliSandbox dir;
  WriteFile(dir / "src/a.txt", "a");
  SaveTlsProfile(dir, server, "selfsigned");

  ASSERT_EQ(dir.Run({"run", "selfsigned"}).status, 1);
  const ProcessResult shown = dir.Run({"trust", "selfsigned"});
  EXPECT_EQ(shown.status, 1) << shown.out << shown.err;
  const std::size_t at = shown.out.find("SHA-256 fingerprint ");
  ASSERT_NE(at, std::string::npos) << shown.out;
  const std::string fingerprint = shown.out.substr(at + 20, shown.out.find('\n', at) - at - 20);
  EXPECT_EQ(dir.Run({"trust", "selfsigned", "--accept", "AB:CD"}).status, 1);
  EXPECT_EQ(TrustedCertificate(server.host(), server.port()), "") << "nothing trusted unasked";

  // Hex in either case, with or without its colons, names the same certificate; it is kept as shown.
  std::string typed;
  for (const char c : fingerprint) {
    if (c != ':') typed += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  ASSERT_NE(typed, fingerprint);
  EXPECT_EQ(dir.Run({"trust", "selfsigned", "--accept", typed.substr(0, typed.size() - 1)}).status, 1);
  const ProcessResult accepted = dir.Run({"trust", "selfsigned", "--accept", typed});
  EXPECT_EQ(accepted.status, 0) << accepted.out;
  EXPECT_EQ(TrustedCertificate(server.host(), server.port()), fingerprint);
  const ProcessResult run = dir.Run({"run", "selfsigned"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadFile(server.root() / "backup/a.txt"), "a");
}

}  // namespace
}  // namespace tarnwick::test
