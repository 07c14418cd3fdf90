#include "ftp/FtpHash.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "ftp/FtpSession.h"
#include "support/FtpTestServer.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::FtpTestServer;
using test::FtpTestServerOptions;
using test::WriteFile;

struct ReplyCase {
  const char* reply;
  bool accepted;
};

// Only a whole, well-formed reply of a known algorithm is a digest; anything else is not one.
TEST(FtpHashTest, OnlyWellFormedHashRepliesAreRead) {
  const ReplyCase cases[] = {
      {"213 SHA-1 0-5 03de6c570bfe24bfc328ccd7ca46b76eadaf4334 /a b.txt\r\n", true},
      {"213 crc32 0-5 d0e0396a x", true},
      {"213 CRC32 0-18446744073709551615 D0E0396A x", true},
      {"213 CRC32 0-5 d0e0396a", false},                        // no path
      {"213 CRC32 0-5 d0e0396 x", true},                        // a CRC without its leading zero
      {"213 MD5 0-5 d0e0396a0000000000000000000000 x", false},  // a digest one digit short
      {"213 CRC32 0-5 d0e0396ag x", false},                     // too long
      {"213 CRC32 0-5 d0e0396g x", false},                      // not hex
      {"213 SHA-512 0-5 d0e0396a x", false},                    // unknown algorithm
      {"213 CRC32 5-0 d0e0396a x", false},                      // range out of order
      {"213 CRC32 0-18446744073709551616 d0e0396a x", false},   // range past 64 bits
      {"213 CRC32 0+5 d0e0396a x", false},
      {"213 CRC32 -5 d0e0396a x", false},
      {"213 CRC32  0-5 d0e0396a x", false},  // two blanks
      {"213-CRC32 0-5 d0e0396a x", false},   // first line of a longer reply
      {"213 CRC32 0-5 d0e0396a x\r\n213 CRC32 0-5 d0e0396a y", false},
      {"550 CRC32 0-5 d0e0396a x", false},
      {"", false},
  };
  for (const ReplyCase& c : cases) {
    HashReply parsed;
    EXPECT_EQ(ParseHashReply(c.reply, parsed), c.accepted) << c.reply;
  }
  HashReply parsed;
  ASSERT_TRUE(ParseHashReply("213 crc32 2-5 d0e0396a x", parsed));
  EXPECT_EQ(parsed.algorithm, HashAlgorithm::Crc32);
  EXPECT_EQ(parsed.start, 2u);
  EXPECT_EQ(parsed.end, 5u);
  EXPECT_EQ(parsed.digest, "D0E0396A");
  ASSERT_TRUE(ParseHashReply("213 CRC32 0-5 396a x", parsed));
  EXPECT_EQ(parsed.digest, "0000396A");
}

TEST(FtpHashTest, FeatTellsTheKnownAlgorithmsAndTheSelectedOne) {
  const HashFeature feature =
      ParseHashFeature("211-Features:\r\n MDTM\r\n hash SHA-512;SHA-1*;md5;SHA-1\r\n HASHED X\r\n211 End\r\n");
  EXPECT_EQ(feature.algorithms, (std::vector<HashAlgorithm>{HashAlgorithm::Sha1, HashAlgorithm::Md5}));
  EXPECT_EQ(feature.current, HashAlgorithm::Sha1);
  EXPECT_EQ(PreferredHashAlgorithm(feature), HashAlgorithm::Sha1);
  EXPECT_TRUE(ParseHashFeature("211-Features:\n HASHED CRC32\n211 HASH CRC32\n").algorithms.empty());
}

struct OfferCase {
  const char* name;
  const char* offered;  // as the server's FEAT lists them
  HashAlgorithm used;
  bool tls = false;  // asked over a secured session
};

class FtpSessionHashTest : public ::testing::TestWithParam<OfferCase> {};

// Whatever the server offers and selects first, the session asks for the preferred algorithm and
// gets the digest of the file's bytes as computed here.
TEST_P(FtpSessionHashTest, TheServersDigestIsTheFilesDigest) {
  const test::TempDir dir;
  std::optional<test::TestCertificates> certs;
  FtpTestServerOptions options;
  if (GetParam().tls) options = certs.emplace().Server("trusted");
  options.hash = GetParam().offered;
  FtpTestServer server(options);
  std::mt19937 random(11);
  std::string bytes(300000, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  WriteFile(server.root() / "a file.bin", bytes);

  CFtpSession session;
  FtpConnectParams params{server.host(), server.port(), server.user(), server.password(), true};
  if (certs) {
    params.tls = true;
    params.caFile = certs->Ca();
    params.trustFile = (dir.path() / "ftpcerts.ini").string();
  }
  ASSERT_TRUE(session.Connect(params).ok()) << server.Log();
  EXPECT_TRUE(session.OffersHash());
  HashReply hash;
  const Status asked = session.FileHash("/a file.bin", hash);
  ASSERT_TRUE(asked.ok()) << asked.ToString() << server.Log();
  EXPECT_EQ(hash.algorithm, GetParam().used);
  CDigest local(GetParam().used);
  local.Update(bytes.data(), bytes.size());
  EXPECT_EQ(hash.digest, local.HexFinal());
  EXPECT_EQ(hash.end, bytes.size());

  const Status missing = session.FileHash("/missing.bin", hash);
  EXPECT_EQ(missing.code(), StatusCode::Refused);
  EXPECT_EQ(missing.message().substr(0, 4), "550 ") << missing.ToString();
}

INSTANTIATE_TEST_SUITE_P(Offers, FtpSessionHashTest,
                         ::testing::Values(OfferCase{"Crc32SelectedFirst", "SHA-256*;SHA-1;MD5;CRC32",
                                                     HashAlgorithm::Crc32},
                                           OfferCase{"Sha256BeforeMd5", "MD5*;SHA-1;SHA-256", HashAlgorithm::Sha256},
                                           OfferCase{"Sha1AlreadySelected", "MD5;SHA-1*", HashAlgorithm::Sha1},
                                           OfferCase{"Md5Alone", "MD5", HashAlgorithm::Md5},
                                           OfferCase{"Crc32OverTls", "SHA-1*;CRC32", HashAlgorithm::Crc32, true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FtpSessionHashTest, AServerWithoutHashSaysSo) {
  FtpTestServer server;
  WriteFile(server.root() / "a.txt", "alpha");
  CFtpSession session;
  ASSERT_TRUE(session.Connect({server.host(), server.port(), server.user(), server.password(), true}).ok());
  EXPECT_FALSE(session.OffersHash());
  HashReply hash;
  const Status asked = session.FileHash("/a.txt", hash);
  EXPECT_EQ(asked.code(), StatusCode::Refused);
  EXPECT_EQ(asked.message(), "The server offers no HASH command.");
  EXPECT_EQ(server.Log().find("HASH"), std::string::npos) << "nothing was asked";
}

}  // namespace
}  // namespace tarnwick
