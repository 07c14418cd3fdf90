// Whatever arrives on the ping socket is checked against the request without reading out of bounds;
// a datagram that matches must really carry the request's identifier, sequence and data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net/IcmpEcho.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnwick;
  EchoRequest request{};
  BuildEchoRequest(request, 0x1234, 7, 0xCAFEBABE);
  EchoReply reply;
  for (bool withIpHeader : {false, true}) {
    if (MatchEchoReply(data, size, withIpHeader, request, 0x1234, 64, reply)) {
      // A match needs at least the whole echo message.
      if (size < kEchoRequestSize) std::abort();
    }
  }
  // A reply built from the request itself (type changed to 0) must match on a datagram socket.
  EchoRequest echoed = request;
  echoed[0] = 0;
  echoed[2] = echoed[3] = 0;
  const std::uint16_t sum = InternetChecksum(echoed.data(), echoed.size());
  std::memcpy(&echoed[2], &sum, sizeof sum);
  if (!MatchEchoReply(echoed.data(), echoed.size(), false, request, 0x1234, 64, reply)) std::abort();
  return 0;
}
