#include "net/IcmpEcho.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/PingWorker.h"

namespace tarnwick {
namespace {

TEST(InternetChecksum, MatchesTheWireSumWhateverTheByteOrder) {
  // The example of RFC 1071: the one's complement sum of 0001 f203 f4f5 f6f7 is ddf2, so the
  // checksum on the wire is 22 0d.
  const std::uint8_t words[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  std::uint16_t sum = InternetChecksum(words, sizeof words);
  std::uint8_t stored[2];
  std::memcpy(stored, &sum, 2);
  EXPECT_EQ(stored[0], 0x22);
  EXPECT_EQ(stored[1], 0x0d);

  // An odd last byte is the high byte of a word padded with zero on the wire.
  const std::uint8_t odd[] = {0x12, 0x34, 0x56};
  sum = InternetChecksum(odd, sizeof odd);
  std::memcpy(stored, &sum, 2);
  EXPECT_EQ(stored[0], 0x97);  // ~(0x1234 + 0x5600) = ~0x6834 = 0x97cb
  EXPECT_EQ(stored[1], 0xcb);

  // Carries fold back in, twice when needed.
  const std::vector<std::uint8_t> ones(40, 0xff);
  EXPECT_EQ(InternetChecksum(ones.data(), ones.size()), 0x0000);
}

TEST(EchoRequest, LayoutOnKnownValues) {
  EchoRequest request;
  BuildEchoRequest(request, 0x0102, 0x0304, 0x0A0B0C0D);
  std::vector<std::uint8_t> expected = {8, 0, 0xd8, 0xf0, 0x02, 0x01, 0x04, 0x03, 0, 0x0D, 0x0C, 0x0B, 0x0A};
  for (int b = 0x20; b <= 0x3F; ++b) expected.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.end()), expected);
  // A message with its checksum in place sums to zero.
  EXPECT_EQ(InternetChecksum(request.data(), request.size()), 0);
}

TEST(EchoRequest, IdentifierAndSequenceGrowTogether) {
  const EchoIds first = NextEchoIds();
  const EchoIds second = NextEchoIds();
  EXPECT_EQ(first.identifier, first.sequence);  // no other test of this program pings yet
  EXPECT_EQ(static_cast<std::uint16_t>(first.identifier + 1), second.identifier);
  EXPECT_EQ(static_cast<std::uint16_t>(first.sequence + 1), second.sequence);
}

class EchoReplyMatch : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildEchoRequest(request_, 7, 9, 123456);
    std::memcpy(&identifier_, &request_[4], 2);
  }
  // The request turned into its reply, behind an IP header of `headerLength` bytes.
  std::vector<std::uint8_t> Reply(std::size_t headerLength, std::uint8_t ttl) const {
    std::vector<std::uint8_t> datagram(headerLength, 0);
    datagram[0] = static_cast<std::uint8_t>(0x40 | headerLength / 4);
    datagram[8] = ttl;
    datagram.insert(datagram.end(), request_.begin(), request_.end());
    datagram[headerLength] = 0;  // echo reply
    return datagram;
  }
  EchoRequest request_;
  std::uint16_t identifier_ = 0;
  EchoReply reply_;
};

TEST_F(EchoReplyMatch, TakesTheReplyAndItsTtl) {
  std::vector<std::uint8_t> datagram = Reply(20, 64);
  ASSERT_TRUE(MatchEchoReply(datagram.data(), datagram.size(), true, request_, identifier_, 0, reply_));
  EXPECT_EQ(reply_.ttl, 64);
  EXPECT_EQ(reply_.echoedTick, 123456u);

  // IP options make the header longer; the message starts after them.
  datagram = Reply(24, 17);
  ASSERT_TRUE(MatchEchoReply(datagram.data(), datagram.size(), true, request_, identifier_, 0, reply_));
  EXPECT_EQ(reply_.ttl, 17);

  // A datagram socket gives the message alone and the TTL beside it.
  datagram = Reply(20, 0);
  datagram.erase(datagram.begin(), datagram.begin() + 20);
  ASSERT_TRUE(MatchEchoReply(datagram.data(), datagram.size(), false, request_, identifier_, 55, reply_));
  EXPECT_EQ(reply_.ttl, 55);
}

TEST_F(EchoReplyMatch, PassesOverWhatIsNotTheReply) {
  std::vector<std::uint8_t> datagram = Reply(20, 64);
  datagram[20] = 8;  // our own request, seen on loopback
  EXPECT_FALSE(MatchEchoReply(datagram.data(), datagram.size(), true, request_, identifier_, 0, reply_));

  datagram = Reply(20, 64);
  datagram[20 + 6] ^= 1;  // another sequence
  EXPECT_FALSE(MatchEchoReply(datagram.data(), datagram.size(), true, request_, identifier_, 0, reply_));

  datagram = Reply(20, 64);
  datagram[20 + 10] ^= 1;  // someone else's request with our numbers
  EXPECT_FALSE(MatchEchoReply(datagram.data(), datagram.size(), true, request_, identifier_, 0, reply_));

  datagram = Reply(20, 64);
  EXPECT_FALSE(MatchEchoReply(datagram.data(), datagram.size(), true, request_, identifier_ ^ 0x100, 0, reply_));
  EXPECT_FALSE(MatchEchoReply(datagram.data(), datagram.size() - 1, true, request_, identifier_, 0, reply_));
  EXPECT_FALSE(MatchEchoReply(datagram.data(), 10, true, request_, identifier_, 0, reply_));

  datagram[0] = 0x4F;  // a header longer than the datagram
  EXPECT_FALSE(MatchEchoReply(datagram.data(), 50, true, request_, identifier_, 0, reply_));
}

TEST(ReservedNames, InvalidDomainIsNeverLookedUp) {
  EXPECT_TRUE(IsReservedInvalidName("invalid"));
  EXPECT_TRUE(IsReservedInvalidName("host.invalid"));
  EXPECT_TRUE(IsReservedInvalidName("a.b.INVALID."));
  EXPECT_FALSE(IsReservedInvalidName("notinvalid"));
  EXPECT_FALSE(IsReservedInvalidName("invalid.example"));
  EXPECT_FALSE(IsReservedInvalidName("127.0.0.1"));
}

}  // namespace
}  // namespace tarnwick
