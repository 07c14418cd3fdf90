// What the zip writer writes to and reads entries from. The writer needs to seek back on its output
// (local headers are patched in place), so any output must be seekable; a caller that sends the
// archive elsewhere implements CZipOutputStream over a temporary file. Errors are thrown as
// CZipException.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

class CZipOutputStream {
 public:
  virtual ~CZipOutputStream() = default;
  // Writes at the current position and advances it.
  virtual void Write(const void* data, std::size_t size) = 0;
  virtual void Seek(std::uint64_t position) = 0;
  // Drops everything from `size` on (a rewritten archive can end before the old end).
  virtual void Truncate(std::uint64_t size) = 0;
  virtual void Flush() {}
};

class CZipInputStream {
 public:
  virtual ~CZipInputStream() = default;
  // Up to `size` bytes; 0 only at the end. A short read is not the end: a network source delivers
  // what it has.
  virtual std::size_t Read(void* buffer, std::size_t size) = 0;
  // The bytes left to read when known, else -1. An entry that may pass 4 GiB needs its Zip64 field
  // reserved in the local header, so a source that can be that large must say so here.
  virtual std::int64_t RemainingSize() const { return -1; }
  // True when a read that delivers less than asked is the end (a regular file), which spares the
  // read that would only return 0.
  virtual bool ShortReadIsEnd() const { return false; }
};

}  // namespace tarnwick
