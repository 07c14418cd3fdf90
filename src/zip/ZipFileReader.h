// A local file read as an entry's source: opened read-only, its status kept for the entry's
// attributes and time, a read error thrown as CZipException.
#pragma once

#include <sys/stat.h>

#include <string>

#include "zip/ZipStream.h"

namespace tarnwick {

class CZipFileReader : public CZipInputStream {
 public:
  explicit CZipFileReader(const std::string& path);
  ~CZipFileReader() override;
  CZipFileReader(const CZipFileReader&) = delete;
  CZipFileReader& operator=(const CZipFileReader&) = delete;

  // False when the file could not be opened or is not a regular file.
  bool ok() const { return fd_ >= 0; }
  const struct stat& status() const { return status_; }

  std::size_t Read(void* buffer, std::size_t size) override;
  std::int64_t RemainingSize() const override;
  bool ShortReadIsEnd() const override { return S_ISREG(status_.st_mode); }

 private:
  std::string path_;
  int fd_ = -1;
  std::int64_t read_ = 0;
  struct stat status_ {};
};

}  // namespace tarnwick
