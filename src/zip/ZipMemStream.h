// A growing in-memory byte buffer that the writer can write an archive into and read an entry from.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "zip/ZipStream.h"

namespace tarnwick {

class CZipMemStream : public CZipOutputStream, public CZipInputStream {
 public:
  enum Origin { begin, current, end };
  static constexpr std::size_t kGrowStep = 1024;

  CZipMemStream() = default;
  ~CZipMemStream() override;
  CZipMemStream(const CZipMemStream&) = delete;
  CZipMemStream& operator=(const CZipMemStream&) = delete;

  void Write(const void* data, std::size_t size) override;  // cause 505 when it cannot grow
  void Seek(std::uint64_t position) override { SeekFrom(static_cast<std::int64_t>(position), begin); }
  void Truncate(std::uint64_t size) override;
  std::size_t Read(void* buffer, std::size_t size) override;
  std::int64_t RemainingSize() const override { return static_cast<std::int64_t>(size_ - position_); }

  // Positions relative to the origin; a position before the start is taken as the start.
  std::uint64_t SeekFrom(std::int64_t offset, Origin origin);

  const unsigned char* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return capacity_; }
  std::size_t Position() const { return position_; }

 private:
  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t position_ = 0;
};

}  // namespace tarnwick
