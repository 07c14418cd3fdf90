#include "net/IcmpEcho.h"

#include <atomic>
#include <chrono>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::uint8_t kEchoRequestType = 8;
constexpr std::uint8_t kEchoReplyType = 0;
constexpr std::size_t kChecksumOffset = 2;
constexpr std::size_t kIdentifierOffset = 4;
constexpr std::size_t kSequenceOffset = 6;

std::atomic<std::uint16_t> gIdentifier{1};
std::atomic<std::uint16_t> gSequence{1};

}  // namespace

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) {
    std::uint16_t word;
    std::memcpy(&word, data + i, 2);
    sum += word;
  }
  if (i < size) {
    // The odd byte is the first byte of a word padded with zero, whatever the byte order.
    std::uint16_t word = 0;
    std::memcpy(&word, data + i, 1);
    sum += word;
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

void BuildEchoRequest(EchoRequest& request, std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tick) {
  request.fill(0);
  request[0] = kEchoRequestType;
  request[1] = 0;
  std::memcpy(&request[kIdentifierOffset], &identifier, 2);
  std::memcpy(&request[kSequenceOffset], &sequence, 2);
  std::memcpy(&request[kEchoTickOffset], &tick, 4);
  for (std::size_t i = 0; i < kEchoDataBytes; ++i) {
    request[kEchoTickOffset + 4 + i] = static_cast<std::uint8_t>(0x20 + i);
  }
  const std::uint16_t checksum = InternetChecksum(request.data(), request.size());
  std::memcpy(&request[kChecksumOffset], &checksum, 2);
}

EchoIds NextEchoIds() { return {gIdentifier.fetch_add(1), gSequence.fetch_add(1)}; }

std::uint32_t TickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

bool MatchEchoReply(const std::uint8_t* data, std::size_t size, bool withIpHeader, const EchoRequest& request,
                    std::uint16_t identifierOnWire, int ttl, EchoReply& reply) {
  if (withIpHeader) {
    // The header's length is in its first byte; options make it longer than 20 bytes.
    if (size < 20 || (data[0] >> 4) != 4) return false;
    const std::size_t headerLength = static_cast<std::size_t>(data[0] & 0x0F) * 4;
    if (headerLength < 20 || size < headerLength) return false;
    ttl = data[8];
    data += headerLength;
    size -= headerLength;
  }
  if (size < kEchoRequestSize || data[0] != kEchoReplyType || data[1] != 0) return false;
  if (std::memcmp(data + kIdentifierOffset, &identifierOnWire, 2) != 0) return false;
  if (std::memcmp(data + kSequenceOffset, &request[kSequenceOffset], 2) != 0) return false;
  // The echoed tick count and data must be ours too: another program's request may carry the
  // same identifier and sequence.
  if (std::memcmp(data + 8, &request[8], kEchoRequestSize - 8) != 0) return false;
  reply.ttl = ttl;
  std::memcpy(&reply.echoedTick, data + kEchoTickOffset, 4);
  return true;
}

}  // namespace tarnwick
