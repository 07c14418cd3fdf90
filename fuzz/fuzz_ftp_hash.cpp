// HASH replies and FEAT replies of any bytes: no crash, and what is read back holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp/FtpHash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnwick::HashReply reply;
  if (tarnwick::ParseHashReply(text, reply)) {
    if (reply.start > reply.end || text.substr(0, 4) != "213 ") abort();
    // A digest is upper-case hex of its algorithm's length, as computed here.
    if (reply.digest.size() != tarnwick::CDigest(reply.algorithm).HexFinal().size()) abort();
    for (char c : reply.digest) {
      if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) abort();
    }
  }
  const tarnwick::HashFeature feature = tarnwick::ParseHashFeature(text);
  if (feature.algorithms.size() > 4) abort();
  if (feature.current && !tarnwick::PreferredHashAlgorithm(feature)) abort();
  return 0;
}
