// A fresh temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tarnwick::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Whole-file helpers for test data.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// Makes `path` a file of `bytes` allocated but unwritten blocks: it reads as zeros and keeps a copy
// busy long enough to be stopped (a sparse file would be copied at once: its holes are not written).
// False when the file system cannot reserve them (full, or no fallocate).
bool AllocateBusyFile(const std::filesystem::path& path, std::uintmax_t bytes);

// The first line a shell command prints, without its line break ("" when it prints nothing).
std::string FirstOutputLine(const std::string& command);

}  // namespace tarnwick::test
