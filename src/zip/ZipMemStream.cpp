#include "zip/ZipMemStream.h"

#include <algorithm>
#include <cstring>

#include "zip/ZipException.h"

namespace tarnwick {

CZipMemStream::~CZipMemStream() { std::free(data_); }

void CZipMemStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  if (size > SIZE_MAX - position_) throw CZipException(CZipException::notEnoughMemory, {});
  const std::size_t needed = position_ + size;
  if (needed > capacity_) {
    // Grow by whole steps: the smallest old capacity + k * step that holds the data.
    const std::size_t steps = (needed - capacity_ + kGrowStep - 1) / kGrowStep;
    const std::size_t capacity = capacity_ + steps * kGrowStep;
    auto* grown = static_cast<unsigned char*>(std::realloc(data_, capacity));
    if (grown == nullptr) throw CZipException(CZipException::notEnoughMemory, {});
    data_ = grown;
    capacity_ = capacity;
  }
  if (position_ > size_) std::memset(data_ + size_, 0, position_ - size_);
  std::memcpy(data_ + position_, data, size);
  position_ += size;
  size_ = std::max(size_, position_);
}

void CZipMemStream::Truncate(std::uint64_t size) {
  if (size < size_) size_ = static_cast<std::size_t>(size);
}

std::size_t CZipMemStream::Read(void* buffer, std::size_t size) {
  if (position_ >= size_) return 0;
  const std::size_t count = std::min(size, size_ - position_);
  std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  return count;
}

std::uint64_t CZipMemStream::SeekFrom(std::int64_t offset, Origin origin) {
  std::int64_t base = 0;
  if (origin == current) base = static_cast<std::int64_t>(position_);
  if (origin == end) base = static_cast<std::int64_t>(size_);
  const std::int64_t target = std::max<std::int64_t>(0, base + offset);
  position_ = static_cast<std::size_t>(target);
  return position_;
}

}  // namespace tarnwick
