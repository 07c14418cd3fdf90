// A plain text file read line by line through a fixed-size buffer, and written with strings as
// they are. The activity log writes and reads its log files with it (capacity 2048).
//
// Open/OpenReadOnly report failure by their result. Read, write and seek errors, and any use of a
// file that is not open, throw std::system_error carrying the system's error code. A line cut at
// the buffer's size is told by LineWasCut(); the caller decides whether to warn about it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/FileIo.h"

namespace tarnwick {

class CTextFile {
 public:
  static constexpr int32_t kDefaultCapacity = 2048;

  // `capacity` is the buffer size; ReadLine returns at most capacity - 1 characters as one line
  // (capacities below 2 are taken as 2).
  explicit CTextFile(int32_t capacity = kDefaultCapacity);
  ~CTextFile();
  CTextFile(const CTextFile&) = delete;
  CTextFile& operator=(const CTextFile&) = delete;

  // Opens for reading and writing, creating the file when missing, never truncating it. Like
  // every open here it follows the reading rule of formats/FileIo.h (OpenStoredFile): it never
  // blocks and takes only a regular file.
  bool Open(const std::string& path);
  // Opens an existing file for reading only (a log may be read from a read-only place), a regular
  // file of at most `limit` bytes (formats/FileIo.h). Reading past `limit` (the file grew) throws
  // std::system_error with EFBIG.
  IoResult OpenReadOnly(const std::string& path, std::uint64_t limit);

  // Back to the start of the file; counters 0.
  void Rewind();

  // The next non-empty line without its line break; false at the end of the file.
  // CR, LF and any run of them end a line. A longer line is cut at capacity - 1 characters (then
  // LineWasCut() is true and LineNumber() is the number of the cut line); the rest comes back as
  // the next line.
  bool ReadLine(std::string& line);

  // The next line of any length without its line break, empty lines included; false at the end of
  // the file. A line ends at LF, at CR LF or at a CR alone (so LF, CR LF and CR files read alike);
  // the buffer's size plays no part. A text that does not end with a break still ends its last line.
  bool ReadWholeLine(std::string& line);

  // Writes the bytes of `text` as they are, straight to the file (no line break is added).
  void WriteString(std::string_view text);

  // Empties the file and rewinds (the log replaces a file whole when saving).
  void Truncate();

  // Closes the file (when open); counters 0.
  void Close();

  bool IsOpen() const { return fd_ >= 0; }
  int32_t Capacity() const { return capacity_; }
  int32_t LineNumber() const { return lineNumber_; }
  // Whether the line ReadLine returned last was cut at the buffer's size.
  bool LineWasCut() const { return lineWasCut_; }

 private:
  IoResult OpenWith(const std::string& path, int flags, std::uint64_t limit);
  void RequireOpen() const;
  bool Refill();
  void ResetCounters();
  void CountLine();

  int fd_ = -1;
  std::vector<char> buffer_;
  int32_t capacity_ = kDefaultCapacity;
  std::uint64_t limit_ = kNoSizeLimit;
  std::uint64_t taken_ = 0;  // bytes read since the open or the last rewind
  int32_t filled_ = 0;
  int32_t position_ = 0;
  int32_t lineNumber_ = 0;
  bool lineWasCut_ = false;
  bool afterCr_ = false;  // ReadWholeLine ended the last line at a CR: an LF right after it belongs to it
};

}  // namespace tarnwick
