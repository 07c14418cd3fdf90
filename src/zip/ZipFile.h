// The disk file an archive is written to.
#pragma once

#include <sys/stat.h>

#include <string>

#include "zip/ZipStream.h"

namespace tarnwick {

class CZipFile : public CZipOutputStream {
 public:
  // Creates or truncates `path` for reading and writing; throws CZipException (access denied = 5).
  explicit CZipFile(const std::string& path);
  ~CZipFile() override;
  CZipFile(const CZipFile&) = delete;
  CZipFile& operator=(const CZipFile&) = delete;

  void Write(const void* data, std::size_t size) override;
  void Seek(std::uint64_t position) override;
  void Truncate(std::uint64_t size) override;
  // Closes the file; a failure of the last write-back is thrown.
  void Close();

  const std::string& path() const { return path_; }
  // Whether `status` (of another open file) describes this very file.
  bool IsSameFile(const struct stat& status) const;

 private:
  [[noreturn]] void Fail(int error) const;

  std::string path_;
  int fd_ = -1;
};

}  // namespace tarnwick
