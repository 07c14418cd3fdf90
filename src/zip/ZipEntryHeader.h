// One entry of an archive as its local and central headers describe it, and the rules that turn a
// file's name, time and mode into header fields.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tarnwick {

struct CZipEntryHeader {
  static constexpr std::uint16_t kVersionMadeBy = 0x0014;  // 2.0, host 0 (FAT)
  static constexpr std::uint16_t kVersionNeeded = 20;
  static constexpr std::uint16_t kVersionZip64 = 45;
  static constexpr std::uint16_t kFlagUtf8Name = 0x0800;
  static constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
  static constexpr std::uint32_t kStreamAttributes = 0x81B40020u;

  std::uint16_t versionMadeBy = kVersionMadeBy;
  std::uint16_t versionNeeded = kVersionNeeded;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc32 = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::uint32_t externalAttributes = 0;
  std::uint64_t localHeaderOffset = 0;
  std::string name;  // stored bytes
  // A non-ASCII name also goes, as UTF-8, into a Unicode path field of both headers: readers that
  // ignore bit 11 or show CP437 bytes raw take the name from there.
  std::string unicodeName;
  bool zip64Local = false;  // the local header carries a Zip64 size field

  // The local header with the current CRC and sizes.
  void AppendLocalHeader(std::vector<unsigned char>& out) const;
  // CRC-32 and the sizes as they are patched into a written local header: the bytes from offset 14,
  // and for a Zip64 local header the sizes of its extra field (at `zip64Offset` within the header).
  void AppendLocalPatch(std::vector<unsigned char>& out) const;
  void AppendLocalZip64Patch(std::vector<unsigned char>& out) const;
  std::size_t LocalZip64FieldOffset() const { return 30 + name.size() + 4; }
  void AppendCentralHeader(std::vector<unsigned char>& out) const;
};

// General-purpose flags of a deflated entry by level: 1 -> 6 (super fast), 9 -> 2 (maximum), else 0.
std::uint16_t DeflateFlagsForLevel(int level);

// Whether `name` may be stored: not empty, not starting with "/" or "\\", and without a ".."
// component whether split at "/" or at "\\" (readers on other systems take "\\" as a separator).
// Such a name can never lead a reader out of its extraction folder.
bool IsSafeEntryName(const std::string& name);

// Fills the name fields of `header` from a UTF-8 name, kept as it is ("\\" stays a character of
// the name): ASCII is kept, other names go to CP437 when every character maps and otherwise stay
// UTF-8 with general-purpose bit 11.
void SetEntryName(CZipEntryHeader& header, const std::string& name);

// DOS date and time of a local time; years before 1980 give year part 0, years after 2107 are held
// at 2107.
void DosDateTime(std::time_t time, std::uint16_t& dosDate, std::uint16_t& dosTime);

// External attributes from a POSIX mode: the archive bit always, read-only when the owner may not
// write; a Unix regular-file mode in the high half (read for all, write for owner and group unless
// read-only).
std::uint32_t ExternalAttributesForMode(mode_t mode);

// Little-endian appenders.
void PutU16(std::vector<unsigned char>& out, std::uint16_t value);
void PutU32(std::vector<unsigned char>& out, std::uint32_t value);
void PutU64(std::vector<unsigned char>& out, std::uint64_t value);

}  // namespace tarnwick
