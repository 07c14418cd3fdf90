#include "zip/ZipEntryHeader.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>

#include <zlib.h>

namespace tarnwick {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kUnicodePathId = 0x7075;

// Unicode code points of CP437 bytes 0x80 to 0xFF.
constexpr std::array<std::uint16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// Decodes one UTF-8 sequence at `i`; false for a malformed one.
bool NextCodePoint(const std::string& text, std::size_t& i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  int extra = 0;
  if (lead < 0x80) {
    cp = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    cp = lead & 0x1F;
    extra = 1;
  } else if ((lead & 0xF0) == 0xE0) {
    cp = lead & 0x0F;
    extra = 2;
  } else if ((lead & 0xF8) == 0xF0) {
    cp = lead & 0x07;
    extra = 3;
  } else {
    return false;
  }
  if (i + extra >= text.size() && extra > 0) return false;
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (next & 0x3F);
  }
  i += 1 + extra;
  return true;
}

void AppendUnicodePath(std::vector<unsigned char>& out, const CZipEntryHeader& header) {
  if (header.unicodeName.empty()) return;
  PutU16(out, kUnicodePathId);
  PutU16(out, static_cast<std::uint16_t>(5 + header.unicodeName.size()));
  out.push_back(1);  // version
  const auto* stored = reinterpret_cast<const Bytef*>(header.name.data());
  PutU32(out, static_cast<std::uint32_t>(crc32(0L, stored, static_cast<uInt>(header.name.size()))));
  out.insert(out.end(), header.unicodeName.begin(), header.unicodeName.end());
}

std::size_t UnicodePathSize(const CZipEntryHeader& header) {
  return header.unicodeName.empty() ? 0 : 9 + header.unicodeName.size();
}

}  // namespace

void PutU16(std::vector<unsigned char>& out, std::uint16_t value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

void PutU32(std::vector<unsigned char>& out, std::uint32_t value) {
  PutU16(out, static_cast<std::uint16_t>(value));
  PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

void PutU64(std::vector<unsigned char>& out, std::uint64_t value) {
  PutU32(out, static_cast<std::uint32_t>(value));
  PutU32(out, static_cast<std::uint32_t>(value >> 32));
}

static std::uint32_t Clamp32(std::uint64_t value) {
  return value >= CZipEntryHeader::kMax32 ? CZipEntryHeader::kMax32 : static_cast<std::uint32_t>(value);
}

void CZipEntryHeader::AppendLocalHeader(std::vector<unsigned char>& out) const {
  PutU32(out, kLocalSignature);
  PutU16(out, versionNeeded);
  PutU16(out, flags);
  PutU16(out, method);
  PutU16(out, dosTime);
  PutU16(out, dosDate);
  AppendLocalPatch(out);
  PutU16(out, static_cast<std::uint16_t>(name.size()));
  PutU16(out, static_cast<std::uint16_t>((zip64Local ? 20 : 0) + UnicodePathSize(*this)));
  out.insert(out.end(), name.begin(), name.end());
  if (zip64Local) {
    PutU16(out, kZip64ExtraId);
    PutU16(out, 16);
    AppendLocalZip64Patch(out);
  }
  AppendUnicodePath(out, *this);
}

void CZipEntryHeader::AppendLocalPatch(std::vector<unsigned char>& out) const {
  PutU32(out, crc32);
  PutU32(out, zip64Local ? kMax32 : static_cast<std::uint32_t>(compressedSize));
  PutU32(out, zip64Local ? kMax32 : static_cast<std::uint32_t>(uncompressedSize));
}

void CZipEntryHeader::AppendLocalZip64Patch(std::vector<unsigned char>& out) const {
  PutU64(out, uncompressedSize);
  PutU64(out, compressedSize);
}

void CZipEntryHeader::AppendCentralHeader(std::vector<unsigned char>& out) const {
  // Only the fields that do not fit go to the Zip64 field, in the order the format fixes.
  std::vector<unsigned char> extra;
  if (uncompressedSize >= kMax32) PutU64(extra, uncompressedSize);
  if (compressedSize >= kMax32) PutU64(extra, compressedSize);
  if (localHeaderOffset >= kMax32) PutU64(extra, localHeaderOffset);
  const bool zip64 = !extra.empty() || zip64Local;
  if (!extra.empty()) {
    const auto size = static_cast<std::uint16_t>(extra.size());
    extra.insert(extra.begin(), {static_cast<unsigned char>(kZip64ExtraId), 0, static_cast<unsigned char>(size),
                                 static_cast<unsigned char>(size >> 8)});
  }
  AppendUnicodePath(extra, *this);
  PutU32(out, kCentralSignature);
  PutU16(out, zip64 ? static_cast<std::uint16_t>((versionMadeBy & 0xFF00) | kVersionZip64) : versionMadeBy);
  PutU16(out, zip64 ? kVersionZip64 : versionNeeded);
  PutU16(out, flags);
  PutU16(out, method);
  PutU16(out, dosTime);
  PutU16(out, dosDate);
  PutU32(out, crc32);
  PutU32(out, Clamp32(compressedSize));
  PutU32(out, Clamp32(uncompressedSize));
  PutU16(out, static_cast<std::uint16_t>(name.size()));
  PutU16(out, static_cast<std::uint16_t>(extra.size()));
  PutU16(out, 0);  // comment
  PutU16(out, 0);  // disk number start
  PutU16(out, 0);  // internal attributes
  PutU32(out, externalAttributes);
  PutU32(out, Clamp32(localHeaderOffset));
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), extra.begin(), extra.end());
}

std::uint16_t DeflateFlagsForLevel(int level) {
  if (level == 1) return 6;
  if (level == 9) return 2;
  return 0;
}

bool IsSafeEntryName(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
    if (i - start == 2 && name[start] == '.' && name[start + 1] == '.') return false;
    start = i + 1;
  }
  return true;
}

void SetEntryName(CZipEntryHeader& header, const std::string& name) {
  header.name = name;
  header.unicodeName.clear();
  const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return;
  std::string oem;
  bool mapsToOem = true;
  std::size_t i = 0;
  while (i < name.size()) {
    char32_t cp = 0;
    // Bytes that are not UTF-8 are kept as they are; they can only be read as CP437.
    if (!NextCodePoint(name, i, cp)) return;
    if (cp < 0x80) {
      oem.push_back(static_cast<char>(cp));
      continue;
    }
    const auto* found = std::find(kCp437High.begin(), kCp437High.end(), static_cast<std::uint16_t>(cp));
    if (cp > 0xFFFF || found == kCp437High.end()) {
      mapsToOem = false;
    } else {
      oem.push_back(static_cast<char>(0x80 + (found - kCp437High.begin())));
    }
  }
  header.unicodeName = name;
  if (mapsToOem) {
    header.name = oem;
  } else {
    header.flags |= CZipEntryHeader::kFlagUtf8Name;
  }
}

void DosDateTime(std::time_t time, std::uint16_t& dosDate, std::uint16_t& dosTime) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) {
    dosDate = 0;
    dosTime = 0;
    return;
  }
  const int year = std::min(local.tm_year + 1900, 2107);
  const int yearPart = year > 1980 ? year - 1980 : 0;
  dosDate = static_cast<std::uint16_t>(yearPart * 512 + (local.tm_mon + 1) * 32 + local.tm_mday);
  dosTime = static_cast<std::uint16_t>(local.tm_hour * 2048 + local.tm_min * 32 + local.tm_sec / 2);
}

std::uint32_t ExternalAttributesForMode(mode_t mode) {
  const bool readOnly = (mode & S_IWUSR) == 0;
  std::uint32_t dos = 0x20;
  std::uint32_t unixMode = 0100000 | 0444;
  if (readOnly) {
    dos |= 0x01;
  } else {
    unixMode |= 0220;
  }
  return (unixMode << 16) | dos;
}

}  // namespace tarnwick
