#include "zip/ZipArchiveCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>
#include <vector>

#include "app/StringTable.h"
#include "formats/FileIo.h"
#include "zip/ZipEntryHeader.h"

namespace tarnwick {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50u;
constexpr std::uint32_t kCentralSignature = 0x02014B50u;
constexpr std::uint32_t kEndSignature = 0x06054B50u;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50u;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50u;
constexpr std::size_t kEndSize = 22, kZip64EndSize = 56, kZip64LocatorSize = 20;
constexpr std::size_t kCentralSize = 46, kLocalSize = 30;
constexpr std::uint16_t kZip64ExtraId = 0x0001, kUnicodePathId = 0x7075;
constexpr std::uint16_t kFlagEncrypted = 0x0001, kFlagDescriptor = 0x0008;
// A directory larger than this is not one the writer made; it is refused rather than held.
constexpr std::uint64_t kMaxDirectorySize = std::uint64_t{1} << 30;
constexpr std::size_t kPieceSize = std::size_t{1} << 20;

std::uint64_t Le(std::string_view bytes, std::size_t at, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// One directory entry as the check needs it.
struct DirectoryEntry {
  std::uint16_t flags = 0, method = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0, size = 0, offset = 0;
  std::string storedName;
  std::string unicodeName;  // from a Unicode Path field whose CRC matches the stored name
};

// The Zip64 and Unicode Path fields of an extra block. False when a field runs past the block or a
// Zip64 field lacks a value the entry needs.
bool ApplyExtra(std::string_view extra, DirectoryEntry& entry) {
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    const auto id = static_cast<std::uint16_t>(Le(extra, at, 2));
    const std::size_t length = Le(extra, at + 2, 2);
    if (at + 4 + length > extra.size()) return false;
    const std::string_view field = extra.substr(at + 4, length);
    if (id == kZip64ExtraId) {
      std::size_t p = 0;
      for (std::uint64_t* value : {&entry.size, &entry.compressedSize, &entry.offset}) {
        if (*value != CZipEntryHeader::kMax32) continue;
        if (p + 8 > field.size()) return false;
        *value = Le(field, p, 8);
        p += 8;
      }
    } else if (id == kUnicodePathId && field.size() >= 5 && field[0] == 1) {
      const auto nameCrc = static_cast<std::uint32_t>(Le(field, 1, 4));
      const auto* stored = reinterpret_cast<const Bytef*>(entry.storedName.data());
      if (crc32_z(0, stored, entry.storedName.size()) == nameCrc) entry.unicodeName = std::string(field.substr(5));
    }
    at += 4 + length;
  }
  return true;
}

class ArchiveReader {
 public:
  ArchiveReader(const std::string& path, const ZipCheckCallbacks& callbacks) : path_(path), callbacks_(callbacks) {}

  Status Run() {
    fd_ = CFileDescriptor(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (!fd_.valid() || ::fstat(fd_.get(), &status) != 0) return Status::IoError(path_, errno);
    if (!S_ISREG(status.st_mode)) return Status::IoError(path_, EINVAL);
    fileSize_ = static_cast<std::uint64_t>(status.st_size);
    ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::vector<DirectoryEntry> entries;
    if (Status read = ReadDirectory(entries); !read.ok()) return read;
    for (const DirectoryEntry& entry : entries) total_ += entry.compressedSize;
    for (const DirectoryEntry& entry : entries) {
      ZipCheckedEntry checked;
      checked.name = entry.unicodeName.empty() ? entry.storedName : entry.unicodeName;
      checked.size = entry.size;
      checked.fault = CheckEntry(entry);
      if (stopped_) return Status::Stopped();
      if (ioError_ != 0) return Status::IoError(path_, ioError_);
      if (!callbacks_.onEntry(checked)) return Status::Stopped();
    }
    return {};
  }

 private:
  Status Corrupt(unsigned reasonId) const { return Status::Corrupt(path_, LoadString(reasonId)); }

  // Reads `size` bytes at `offset` into `out`; false (ioError_ set on a system error) when the
  // file ends first.
  bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out) {
    out.resize(size);
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::pread(fd_.get(), out.data() + got, size - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ioError_ = errno;
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    return true;
  }

  Status ReadDirectory(std::vector<DirectoryEntry>& entries) {
    // The end record is searched from the end backwards, past a comment of up to 64 KiB.
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize_, kEndSize + 0xFFFF);
    std::string tail;
    if (!ReadAt(fileSize_ - tailSize, tailSize, tail))
      return ioError_ ? Status::IoError(path_, ioError_) : Corrupt(IDS_ZIP_NO_END_RECORD);
    std::size_t end = std::string::npos;
    for (std::size_t at = tail.size() >= kEndSize ? tail.size() - kEndSize + 1 : 0; at-- > 0;) {
      if (Le(tail, at, 4) == kEndSignature && at + kEndSize + Le(tail, at + 20, 2) == tail.size()) {
        end = at;
        break;
      }
    }
    if (end == std::string::npos) return Corrupt(IDS_ZIP_NO_END_RECORD);
    const std::uint64_t endOffset = fileSize_ - tailSize + end;
    std::uint64_t count = Le(tail, end + 10, 2);
    std::uint64_t directorySize = Le(tail, end + 12, 4);
    std::uint64_t directoryOffset = Le(tail, end + 16, 4);

    std::string record;
    if (endOffset >= kZip64LocatorSize && ReadAt(endOffset - kZip64LocatorSize, kZip64LocatorSize, record) &&
        Le(record, 0, 4) == kZip64LocatorSignature) {
      const std::uint64_t zip64Offset = Le(record, 8, 8);
      if (zip64Offset > endOffset || !ReadAt(zip64Offset, kZip64EndSize, record) ||
          Le(record, 0, 4) != kZip64EndSignature) {
        return Corrupt(IDS_ZIP_BAD_DIRECTORY);
      }
      count = Le(record, 32, 8);
      directorySize = Le(record, 40, 8);
      directoryOffset = Le(record, 48, 8);
    }
    if (directorySize > kMaxDirectorySize || directoryOffset > endOffset ||
        directorySize > endOffset - directoryOffset || count > directorySize / kCentralSize) {
      return Corrupt(IDS_ZIP_BAD_DIRECTORY);
    }
    directoryOffset_ = directoryOffset;
    std::string directory;
    if (!ReadAt(directoryOffset, directorySize, directory)) return Corrupt(IDS_ZIP_BAD_DIRECTORY);
    return ParseDirectory(directory, count, entries) ? Status() : Corrupt(IDS_ZIP_BAD_DIRECTORY);
  }

  static bool ParseDirectory(std::string_view directory, std::uint64_t count, std::vector<DirectoryEntry>& entries) {
    std::size_t at = 0;
    entries.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
      if (at + kCentralSize > directory.size() || Le(directory, at, 4) != kCentralSignature) return false;
      DirectoryEntry entry;
      entry.flags = static_cast<std::uint16_t>(Le(directory, at + 8, 2));
      entry.method = static_cast<std::uint16_t>(Le(directory, at + 10, 2));
      entry.crc = static_cast<std::uint32_t>(Le(directory, at + 16, 4));
      entry.compressedSize = Le(directory, at + 20, 4);
      entry.size = Le(directory, at + 24, 4);
      const std::size_t nameLength = Le(directory, at + 28, 2);
      const std::size_t extraLength = Le(directory, at + 30, 2);
      const std::size_t commentLength = Le(directory, at + 32, 2);
      entry.offset = Le(directory, at + 42, 4);
      const std::size_t next = at + kCentralSize + nameLength + extraLength + commentLength;
      if (next > directory.size()) return false;
      entry.storedName = std::string(directory.substr(at + kCentralSize, nameLength));
      if (!ApplyExtra(directory.substr(at + kCentralSize + nameLength, extraLength), entry)) return false;
      entries.push_back(std::move(entry));
      at = next;
    }
    return at == directory.size();
  }

  ZipEntryFault CheckEntry(const DirectoryEntry& entry) {
    if (!IsSafeEntryName(entry.storedName) || (!entry.unicodeName.empty() && !IsSafeEntryName(entry.unicodeName))) {
      return ZipEntryFault::UnsafeName;
    }
    std::string local;
    if (entry.offset > directoryOffset_ || directoryOffset_ - entry.offset < kLocalSize ||
        !ReadAt(entry.offset, kLocalSize, local) || Le(local, 0, 4) != kLocalSignature) {
      return ZipEntryFault::BadLocalHeader;
    }
    const std::size_t nameLength = Le(local, 26, 2);
    const std::uint64_t dataOffset = entry.offset + kLocalSize + nameLength + Le(local, 28, 2);
    std::string localName;
    if (dataOffset > directoryOffset_ || !ReadAt(entry.offset + kLocalSize, nameLength, localName) ||
        localName != entry.storedName || Le(local, 8, 2) != entry.method) {
      return ZipEntryFault::BadLocalHeader;
    }
    // Sizes of all ones stand for a Zip64 field; a data descriptor leaves them to the directory.
    if ((entry.flags & kFlagDescriptor) == 0) {
      const std::uint64_t localCompressed = Le(local, 18, 4), localSize = Le(local, 22, 4);
      if (Le(local, 14, 4) != entry.crc ||
          (localCompressed != CZipEntryHeader::kMax32 && localCompressed != entry.compressedSize) ||
          (localSize != CZipEntryHeader::kMax32 && localSize != entry.size)) {
        return ZipEntryFault::BadLocalHeader;
      }
    }
    if (entry.compressedSize > directoryOffset_ - dataOffset) return ZipEntryFault::DataOutOfBounds;
    if ((entry.flags & kFlagEncrypted) != 0 || (entry.method != 0 && entry.method != Z_DEFLATED)) {
      return ZipEntryFault::UnsupportedMethod;
    }
    if (entry.method == 0 && entry.compressedSize != entry.size) return ZipEntryFault::SizeMismatch;
    return CheckData(entry, dataOffset);
  }

  ZipEntryFault CheckData(const DirectoryEntry& entry, std::uint64_t dataOffset) {
    const bool deflated = entry.method == Z_DEFLATED;
    z_stream stream{};
    if (deflated && inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ZipEntryFault::BadData;
    const std::unique_ptr<z_stream, int (*)(z_stream*)> guard(deflated ? &stream : nullptr, inflateEnd);
    if (!output_) output_ = std::make_unique<unsigned char[]>(kPieceSize);

    uLong crc = crc32_z(0, nullptr, 0);
    std::uint64_t produced = 0;
    bool streamEnded = !deflated;
    for (std::uint64_t read = 0; read < entry.compressedSize;) {
      const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(entry.compressedSize - read, kPieceSize));
      if (!ReadAt(dataOffset + read, size, piece_)) return ZipEntryFault::DataOutOfBounds;
      read += size;
      done_ += size;
      if (callbacks_.onProgress && !callbacks_.onProgress(done_, total_)) {
        stopped_ = true;
        return ZipEntryFault::None;
      }
      if (!deflated) {
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(piece_.data()), size);
        produced += size;
        continue;
      }
      if (streamEnded) return ZipEntryFault::BadData;  // bytes after the end of the stream
      stream.next_in = reinterpret_cast<Bytef*>(piece_.data());
      stream.avail_in = static_cast<uInt>(size);
      // A full output buffer may leave more output pending: inflate again until it is not full.
      do {
        stream.next_out = output_.get();
        stream.avail_out = static_cast<uInt>(kPieceSize);
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return ZipEntryFault::BadData;
        const std::size_t out = kPieceSize - stream.avail_out;
        crc = crc32_z(crc, output_.get(), out);
        produced += out;
        streamEnded = result == Z_STREAM_END;
      } while (!streamEnded && stream.avail_out == 0);
      if (stream.avail_in > 0) return ZipEntryFault::BadData;
    }
    if (!streamEnded) return ZipEntryFault::BadData;
    if (produced != entry.size) return ZipEntryFault::SizeMismatch;
    if (crc != entry.crc) return ZipEntryFault::CrcMismatch;
    return ZipEntryFault::None;
  }

  const std::string& path_;
  const ZipCheckCallbacks& callbacks_;
  CFileDescriptor fd_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t directoryOffset_ = 0;
  std::uint64_t done_ = 0, total_ = 0;
  bool stopped_ = false;
  int ioError_ = 0;
  std::string piece_;
  std::unique_ptr<unsigned char[]> output_;
};

}  // namespace

std::string ZipEntryFaultText(ZipEntryFault fault) {
  switch (fault) {
    case ZipEntryFault::None: return {};
    case ZipEntryFault::UnsafeName: return LoadString(IDS_ZIP_FAULT_UNSAFE_NAME);
    case ZipEntryFault::BadLocalHeader: return LoadString(IDS_ZIP_FAULT_LOCAL_HEADER);
    case ZipEntryFault::DataOutOfBounds: return LoadString(IDS_ZIP_FAULT_OUT_OF_BOUNDS);
    case ZipEntryFault::UnsupportedMethod: return LoadString(IDS_ZIP_FAULT_METHOD);
    case ZipEntryFault::BadData: return LoadString(IDS_ZIP_FAULT_BAD_DATA);
    case ZipEntryFault::SizeMismatch: return LoadString(IDS_ZIP_FAULT_SIZE);
    case ZipEntryFault::CrcMismatch: return LoadString(IDS_ZIP_FAULT_CRC);
  }
  return {};
}

Status CheckZipArchive(const std::string& path, const ZipCheckCallbacks& callbacks) {
  return ArchiveReader(path, callbacks).Run();
}

}  // namespace tarnwick
