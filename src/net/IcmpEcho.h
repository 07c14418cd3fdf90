// The ICMP echo messages the ping worker sends and the replies it accepts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

constexpr std::size_t kEchoRequestSize = 45;
constexpr std::size_t kEchoDataBytes = 32;  // the bytes 0x20..0x3F after the header and tick count
constexpr std::size_t kEchoTickOffset = 9;

using EchoRequest = std::array<std::uint8_t, kEchoRequestSize>;

// The Internet checksum (RFC 1071) of `size` bytes: 16-bit words as stored, the odd last byte
// added as is, folded and complemented. Stored back as it was computed, it is right on the wire
// whatever the machine's byte order.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

// Fills an echo request: type 8, code 0, the identifier and sequence and the tick count in the
// machine's byte order, the 32 data bytes, and the checksum.
void BuildEchoRequest(EchoRequest& request, std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tick);

// The next identifier and sequence of this process: both counters start at 1 and grow by one
// per request.
struct EchoIds {
  std::uint16_t identifier;
  std::uint16_t sequence;
};
EchoIds NextEchoIds();

// Milliseconds on the monotonic clock, wrapping at 32 bits like a tick count.
std::uint32_t TickCount();

struct EchoReply {
  int ttl = 0;
  std::uint32_t echoedTick = 0;
};

// Takes `data` as the reply to `request` only when it is an echo reply carrying the request's
// identifier (as stored in `identifierOnWire`: a datagram socket replaces it with its port),
// sequence and data; anything else that reaches the socket is not a reply to it.
// `withIpHeader`: a raw socket hands over the IP datagram, the TTL is then read from its header;
// a datagram socket hands over the ICMP message alone and `ttl` is the one the system reported.
bool MatchEchoReply(const std::uint8_t* data, std::size_t size, bool withIpHeader, const EchoRequest& request,
                    std::uint16_t identifierOnWire, int ttl, EchoReply& reply);

}  // namespace tarnwick
