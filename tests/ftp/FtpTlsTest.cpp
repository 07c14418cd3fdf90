#include <gtest/gtest.h>

#include <vector>

#include "app/StringTable.h"
#include "ftp/CertificateTrust.h"
#include "ftp/FtpSession.h"
#include "support/FtpTestServer.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::FtpTestServer;
using test::ReadFile;
using test::TempDir;
using test::TestCertificates;
using test::WriteFile;

// The fingerprint as the openssl tool computes it, to check ours against.
std::string OpensslFingerprint(const std::string& pem) {
  const std::string text = test::FirstOutputLine("openssl x509 -noout -fingerprint -sha256 -in '" + pem + "'");
  return text.substr(text.find('=') + 1);
}

class FtpTlsTest : public ::testing::Test {
 protected:
  FtpConnectParams Account(const FtpTestServer& server) const {
    FtpConnectParams params{server.host(), server.port(), server.user(), server.password(), true};
    params.tls = true;
    params.caFile = certs_.Ca();
    params.trustFile = (dir_ / "ftpcerts.ini").string();
    return params;
  }
  TestCertificates certs_;
  TempDir dir_;
};

// An account set to active mode gets passive data connections too once it is secured.
TEST_F(FtpTlsTest, AVerifiedServerProtectsControlAndDataBothWays) {
  FtpTestServer server(certs_.Server("trusted"));
  for (const bool passive : {true, false}) {
    CFtpSession session;
    FtpConnectParams account = Account(server);
    account.passive = passive;
    const Status connected = session.Connect(account);
    ASSERT_TRUE(connected.ok()) << connected.ToString() << server.Log();
    const std::string data(200000, 'x');
    std::unique_ptr<CFtpFile> file;
    const Status opened = session.OpenFile("/up.bin", FtpFileMode::Write, file);
    ASSERT_TRUE(opened.ok()) << opened.ToString() << server.Log();
    const Status written = file->Write(data.data(), data.size());
    ASSERT_TRUE(written.ok()) << written.ToString() << server.Log();
    const Status closed = file->Close();
    ASSERT_TRUE(closed.ok()) << closed.ToString() << server.Log();
    const std::string stored = ReadFile(server.root() / "up.bin");
    EXPECT_TRUE(stored == data) << "the server holds " << stored.size() << " bytes\n" << server.Log();
    std::vector<FtpFileInfo> entries;
    ASSERT_TRUE(session.List("/", entries).ok()) << server.Log();
    EXPECT_FALSE(entries.empty()) << server.Log();
    EXPECT_EQ(session.TlsProblem().kind, FtpTlsFailure::None) << session.TlsProblem().reason;
  }
  const std::string log = server.Log();
  EXPECT_NE(log.find("AUTH TLS"), std::string::npos) << log;
  EXPECT_NE(log.find("PROT P"), std::string::npos) << log;
  for (const char* active : {"EPRT", "PORT "}) EXPECT_EQ(log.find(active), std::string::npos) << log;
}

struct UntrustedCase {
  const char* certificate;
  bool withTestCa;  // false: only the system's store, which does not know the test authority
  std::string reason;
};

class FtpUntrustedTest : public FtpTlsTest, public ::testing::WithParamInterface<UntrustedCase> {};

// The login stops before USER, says why with the certificate's fingerprint, and passes once the
// user trusted exactly that certificate for that host and port.
TEST_P(FtpUntrustedTest, FailsBeforeTheLoginUntilThatCertificateIsTrusted) {
  FtpTestServer server(certs_.Server(GetParam().certificate));
  FtpConnectParams params = Account(server);
  if (!GetParam().withTestCa) params.caFile = "/etc/ssl/certs/ca-certificates.crt";
  CFtpSession session;
  const Status refused = session.Connect(params);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.code(), StatusCode::NetworkError);
  const FtpTlsProblem problem = session.TlsProblem();
  const std::string fingerprint = OpensslFingerprint(certs_.Pem(GetParam().certificate));
  ASSERT_EQ(fingerprint.size(), 95u);
  EXPECT_EQ(problem.kind, FtpTlsFailure::Untrusted);
  EXPECT_EQ(problem.reason, GetParam().reason);
  EXPECT_EQ(problem.sha256, fingerprint);
  EXPECT_NE(refused.message().find(fingerprint), std::string::npos) << refused.message();
  EXPECT_EQ(server.Log().find("USER"), std::string::npos) << "no credentials before the check\n" << server.Log();

  ASSERT_TRUE(TrustCertificate(server.host(), server.port() + 1, fingerprint, params.trustFile).ok());
  EXPECT_FALSE(session.Connect(params).ok()) << "a trust holds for its own port only";
  ASSERT_TRUE(TrustCertificate(server.host(), server.port(), "00:11", params.trustFile).ok());
  EXPECT_FALSE(session.Connect(params).ok()) << "another certificate's trust does not count";
  ASSERT_TRUE(TrustCertificate(server.host(), server.port(), fingerprint, params.trustFile).ok());
  const Status trusted = session.Connect(params);
  EXPECT_TRUE(trusted.ok()) << trusted.ToString() << server.Log();
}

INSTANTIATE_TEST_SUITE_P(Certificates, FtpUntrustedTest,
                         ::testing::Values(UntrustedCase{"selfsigned", true, LoadString(IDS_CERT_SELF_SIGNED)},
                                           UntrustedCase{"mismatch", true,
                                                         FormatString(IDS_CERT_NAME_MISMATCH, "127.0.0.1")},
                                           UntrustedCase{"expired", true, LoadString(IDS_CERT_EXPIRED)},
                                           UntrustedCase{"trusted", false, LoadString(IDS_CERT_UNKNOWN_ISSUER)}),
                         [](const auto& tested) {
                           return std::string(tested.param.certificate) + (tested.param.withTestCa ? "" : "_NoTestCa");
                         });

TEST_F(FtpTlsTest, AServerWithoutTlsIsRefusedNeverUsedInClearText) {
  FtpTestServer server;
  CFtpSession session;
  const Status refused = session.Connect(Account(server));
  EXPECT_EQ(refused.code(), StatusCode::NetworkError);
  EXPECT_EQ(refused.message(), LoadString(IDS_FTP_TLS_NOT_OFFERED));
  EXPECT_EQ(session.TlsProblem().kind, FtpTlsFailure::NotOffered);
  EXPECT_EQ(server.Log().find("USER"), std::string::npos) << server.Log();
}

TEST_F(FtpTlsTest, TheTrustFileIsPrivateAndKeepsOtherHosts) {
  const std::string file = (dir_ / "ftpcerts.ini").string();
  ASSERT_TRUE(TrustCertificate("a.example", 0, "AA", file).ok());
  ASSERT_TRUE(TrustCertificate("b.example", 2121, "BB", file).ok());
  ASSERT_TRUE(TrustCertificate("a.example", 21, "CC", file).ok());
  EXPECT_EQ(TrustedCertificate("a.example", 0, file), "CC") << "port 0 is the standard port";
  EXPECT_EQ(TrustedCertificate("b.example", 2121, file), "BB");
  EXPECT_EQ(TrustedCertificate("b.example", 21, file), "");
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_FALSE(TrustCertificate("bad\nhost", 21, "AA", file).ok());
}

}  // namespace
}  // namespace tarnwick
