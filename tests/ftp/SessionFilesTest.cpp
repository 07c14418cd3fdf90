// The files a secured connection reads before it sends anything (the trusted certificates, SSH
// known_hosts and key), put in the way as FIFOs: the connect is refused at once, naming the file,
// rather than hanging in the TLS or SSH layer. Nothing listens on the loopback port used.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ftp/FtpSession.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

struct SessionFileCase {
  const char* what;
  void (*point)(FtpConnectParams&, const std::string& fifo);
};

std::ostream& operator<<(std::ostream& out, const SessionFileCase& c) { return out << c.what; }

class SessionFileTest : public ::testing::TestWithParam<SessionFileCase> {};

TEST_P(SessionFileTest, AFifoInPlaceOfTheFileFailsTheConnectNamingIt) {
  test::TempDir dir;
  const std::string fifo = (dir / "in-the-way").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FtpConnectParams params;
  params.host = "127.0.0.1";
  params.port = 1;
  params.knownHostsFile = (dir / "known_hosts").string();  // missing: no failure of its own
  params.trustFile = (dir / "ftpcerts.ini").string();
  GetParam().point(params, fifo);
  CFtpSession session;
  const Status connected = session.Connect(params);
  EXPECT_EQ(connected.code(), StatusCode::IoError);
  EXPECT_EQ(connected.path(), fifo);
  EXPECT_NE(connected.ToString().find("Not a regular file"), std::string::npos) << connected.ToString();
  EXPECT_FALSE(std::filesystem::exists(dir / "ftpcerts.ini")) << "reading the trust never creates it";
}

INSTANTIATE_TEST_SUITE_P(Files, SessionFileTest,
                         ::testing::Values(SessionFileCase{"trusted certificates",
                                                           [](FtpConnectParams& p, const std::string& f) {
                                                             p.tls = true;
                                                             p.trustFile = f;
                                                           }},
                                           SessionFileCase{"known_hosts",
                                                           [](FtpConnectParams& p, const std::string& f) {
                                                             p.sftp = true;
                                                             p.knownHostsFile = f;
                                                           }},
                                           SessionFileCase{"key file", [](FtpConnectParams& p, const std::string& f) {
                                                             p.sftp = true;
                                                             p.keyFile = f;
                                                           }}));

}  // namespace
}  // namespace tarnwick
