// File digests for the FTP HASH command: the algorithms known here, the readers of what a server
// says about them (its FEAT line and its HASH reply, both pure and strict, since a server controls
// every byte), and the same digests computed over local bytes.
//
//   FEAT line    " HASH SHA-256;SHA-1*;MD5;CRC32"   ("*" marks the algorithm selected now)
//   OPTS HASH X  selects X, answered 200
//   HASH path    "213 SHA-1 0-5 03de6c570bfe24bfc328ccd7ca46b76eadaf4334 /a.txt"
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// In the order they are preferred: CRC-32 is what the engine computes anyway, then the strongest.
enum class HashAlgorithm { Crc32, Sha256, Sha1, Md5 };

// The name as FEAT, OPTS HASH and HASH replies spell it: "CRC32", "SHA-256", "SHA-1", "MD5".
const char* HashAlgorithmName(HashAlgorithm algorithm);

// What a FEAT reply says of HASH: the known algorithms it names (unknown ones are left out) and the
// one marked as selected, when it is a known one. No algorithms: HASH is not offered.
struct HashFeature {
  std::vector<HashAlgorithm> algorithms;
  std::optional<HashAlgorithm> current;
};

// Reads the HASH line of a whole FEAT reply (every line, each ended by "\n" or "\r\n").
HashFeature ParseHashFeature(std::string_view featReply);

// The algorithm to ask for among `feature`'s, by the order of HashAlgorithm; none when none.
std::optional<HashAlgorithm> PreferredHashAlgorithm(const HashFeature& feature);

// One HASH reply: "213 <algorithm> <start>-<end> <hex digest> <path>".
struct HashReply {
  HashAlgorithm algorithm = HashAlgorithm::Crc32;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::string digest;  // upper-case hex
};

// Reads one HASH reply of a single line (a final line break allowed). False for anything else:
// another code, an unknown algorithm, a range that is not "digits-digits" in order, a digest that
// is not hex of its algorithm's length (a CRC32 may lack leading zeros; it is padded), or no path.
bool ParseHashReply(std::string_view reply, HashReply& parsed);

// A digest computed here, fed in pieces.
class CDigest {
 public:
  explicit CDigest(HashAlgorithm algorithm);
  ~CDigest();
  CDigest(const CDigest&) = delete;
  CDigest& operator=(const CDigest&) = delete;

  void Update(const void* data, std::size_t size);
  // The digest of everything fed, as upper-case hex (a CRC-32 as its 8 digits, most significant
  // first, as HASH replies give it).
  std::string HexFinal();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnwick
