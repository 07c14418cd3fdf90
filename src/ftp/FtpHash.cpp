#include "ftp/FtpHash.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <array>

#include "ftp/FtpListParser.h"

namespace tarnwick {

namespace {

struct AlgorithmInfo {
  HashAlgorithm algorithm;
  const char* name;
  std::size_t hexDigits;
};

constexpr std::array<AlgorithmInfo, 4> kAlgorithms = {{
    {HashAlgorithm::Crc32, "CRC32", 8},
    {HashAlgorithm::Sha256, "SHA-256", 64},
    {HashAlgorithm::Sha1, "SHA-1", 40},
    {HashAlgorithm::Md5, "MD5", 32},
}};

const AlgorithmInfo& InfoOf(HashAlgorithm algorithm) {
  return *std::find_if(kAlgorithms.begin(), kAlgorithms.end(),
                       [algorithm](const AlgorithmInfo& info) { return info.algorithm == algorithm; });
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

const AlgorithmInfo* FindAlgorithm(std::string_view name) {
  for (const AlgorithmInfo& info : kAlgorithms) {
    if (EqualsNoCase(name, info.name)) return &info;
  }
  return nullptr;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The next blank-separated word of `rest` (exactly one blank after it), taken off `rest`.
bool NextWord(std::string_view& rest, std::string_view& word) {
  const std::size_t blank = rest.find(' ');
  if (blank == 0 || blank == std::string_view::npos) return false;
  word = rest.substr(0, blank);
  rest.remove_prefix(blank + 1);
  return true;
}

std::string HexOf(const unsigned char* bytes, std::size_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

}  // namespace

const char* HashAlgorithmName(HashAlgorithm algorithm) { return InfoOf(algorithm).name; }

HashFeature ParseHashFeature(std::string_view featReply) {
  HashFeature feature;
  while (!featReply.empty()) {
    const std::size_t end = featReply.find('\n');
    const std::string_view line = featReply.substr(0, end);
    featReply = end == std::string_view::npos ? std::string_view() : featReply.substr(end + 1);
    // Feature lines start with a blank; the reply's first and last lines carry the code.
    if (line.empty() || line.front() != ' ') continue;
    std::string_view text = TrimBlanks(line);
    if (text.size() < 4 || !EqualsNoCase(text.substr(0, 4), "HASH")) continue;
    if (text.size() > 4 && text[4] != ' ') continue;
    text.remove_prefix(4);
    while (!text.empty()) {
      const std::size_t semicolon = text.find(';');
      std::string_view name = TrimBlanks(text.substr(0, semicolon));
      text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
      const bool selected = !name.empty() && name.back() == '*';
      if (selected) name.remove_suffix(1);
      const AlgorithmInfo* info = FindAlgorithm(name);
      if (!info) continue;
      if (std::find(feature.algorithms.begin(), feature.algorithms.end(), info->algorithm) ==
          feature.algorithms.end()) {
        feature.algorithms.push_back(info->algorithm);
      }
      if (selected) feature.current = info->algorithm;
    }
  }
  return feature;
}

std::optional<HashAlgorithm> PreferredHashAlgorithm(const HashFeature& feature) {
  for (const AlgorithmInfo& info : kAlgorithms) {
    if (std::find(feature.algorithms.begin(), feature.algorithms.end(), info.algorithm) != feature.algorithms.end()) {
      return info.algorithm;
    }
  }
  return std::nullopt;
}

bool ParseHashReply(std::string_view reply, HashReply& parsed) {
  if (!reply.empty() && reply.back() == '\n') reply.remove_suffix(1);
  if (!reply.empty() && reply.back() == '\r') reply.remove_suffix(1);
  if (reply.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  if (reply.substr(0, 4) != "213 ") return false;
  std::string_view rest = reply.substr(4);
  std::string_view name, range, digest;
  if (!NextWord(rest, name) || !NextWord(rest, range) || !NextWord(rest, digest) || rest.empty()) return false;
  const AlgorithmInfo* info = FindAlgorithm(name);
  if (!info || digest.empty() || digest.size() > info->hexDigits) return false;
  // A CRC is a number, and some servers write it without its leading zeros; a digest is a string
  // of bytes and comes whole.
  if (digest.size() != info->hexDigits && info->algorithm != HashAlgorithm::Crc32) return false;
  const std::size_t dash = range.find('-');
  std::uint64_t start = 0, end = 0;
  if (dash == std::string_view::npos || !ToUnsigned(range.substr(0, dash), start) ||
      !ToUnsigned(range.substr(dash + 1), end) || start > end) {
    return false;
  }
  std::string hex(info->hexDigits - digest.size(), '0');
  for (char c : digest) {
    const char upper = Upper(c);
    if (!((upper >= '0' && upper <= '9') || (upper >= 'A' && upper <= 'F'))) return false;
    hex += upper;
  }
  parsed = {info->algorithm, start, end, std::move(hex)};
  return true;
}

struct CDigest::Impl {
  HashAlgorithm algorithm;
  uLong crc = crc32_z(0, nullptr, 0);
  EVP_MD_CTX* context = nullptr;
};

CDigest::CDigest(HashAlgorithm algorithm) : impl_(std::make_unique<Impl>()) {
  impl_->algorithm = algorithm;
  if (algorithm == HashAlgorithm::Crc32) return;
  const EVP_MD* md = algorithm == HashAlgorithm::Sha256 ? EVP_sha256()
                     : algorithm == HashAlgorithm::Sha1 ? EVP_sha1()
                                                        : EVP_md5();
  impl_->context = EVP_MD_CTX_new();
  if (impl_->context) EVP_DigestInit_ex(impl_->context, md, nullptr);
}

CDigest::~CDigest() { EVP_MD_CTX_free(impl_->context); }

void CDigest::Update(const void* data, std::size_t size) {
  if (impl_->algorithm == HashAlgorithm::Crc32) {
    impl_->crc = crc32_z(impl_->crc, static_cast<const Bytef*>(data), size);
  } else if (impl_->context) {
    EVP_DigestUpdate(impl_->context, data, size);
  }
}

std::string CDigest::HexFinal() {
  if (impl_->algorithm == HashAlgorithm::Crc32) {
    const auto crc = static_cast<std::uint32_t>(impl_->crc);
    const unsigned char bytes[4] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                    static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
    return HexOf(bytes, sizeof bytes);
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // Without a context (out of memory) the text is empty and matches no server's digest.
  if (!impl_->context || EVP_DigestFinal_ex(impl_->context, digest, &length) != 1) return {};
  return HexOf(digest, length);
}

}  // namespace tarnwick
