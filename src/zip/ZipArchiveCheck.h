// A finished archive read back from disk: the end records and the central directory are parsed,
// every entry's local header is compared with its directory entry, its data inflated and its size
// and CRC-32 checked, and its name held to the rules the writer keeps (IsSafeEntryName). The
// archive is only read; nothing here throws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/Status.h"

namespace tarnwick {

// What is wrong with one entry; the first fault found is the one reported.
enum class ZipEntryFault {
  None,
  UnsafeName,         // empty, absolute, or with a ".." component (stored or Unicode Path name)
  BadLocalHeader,     // missing, or its name, method, CRC or sizes differ from the directory's
  DataOutOfBounds,    // the entry's data would run into the directory or past the file's end
  UnsupportedMethod,  // neither stored nor deflated, or encrypted
  BadData,            // the deflate stream is broken or does not end where the entry does
  SizeMismatch,       // the data holds another number of bytes than the directory says
  CrcMismatch,        // the data's CRC-32 is not the one the directory holds
};

struct ZipCheckedEntry {
  // The name as readers show it: the Unicode Path field's name when the field matches the stored
  // name, otherwise the stored bytes.
  std::string name;
  std::uint64_t size = 0;  // the uncompressed size the directory gives
  ZipEntryFault fault = ZipEntryFault::None;
};

struct ZipCheckCallbacks {
  // Told about every entry once it was checked, in directory order. Returning false stops.
  std::function<bool(const ZipCheckedEntry&)> onEntry;
  // Told after each piece of data read: bytes of entry data read so far and in all. Returning
  // false stops. May be empty.
  std::function<bool(std::uint64_t done, std::uint64_t total)> onProgress;
};

// The reason of `fault` as the log words it ("its CRC-32 does not match").
std::string ZipEntryFaultText(ZipEntryFault fault);

// Reads the archive at `path` and reports each entry. Ok when the directory could be read (the
// entries' own faults go to onEntry); IoError when the file cannot be opened or read; Corrupt with
// the reason when its end records or central directory cannot be read as a zip archive; Stopped
// when a callback asked to stop.
Status CheckZipArchive(const std::string& path, const ZipCheckCallbacks& callbacks);

}  // namespace tarnwick
