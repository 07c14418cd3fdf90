// Writes zip archives: each entry's local header, its stored or raw-deflated data (local headers are
// patched in place, no data descriptors), then the central directory and the end record. Zip64
// records are written only when an entry or the archive passes 4 GiB or the entries pass 65,535.
//
// Entries are compressed on worker threads while the caller reads the next source; a write or
// deflate failure of an entry may therefore surface as a CZipException from a later add, Flush or
// Close. After any exception the archive is unusable: call Abort (or let the destructor do it).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "zip/ZipCompressor.h"
#include "zip/ZipEntryHeader.h"
#include "zip/ZipFile.h"
#include "zip/ZipStream.h"

namespace tarnwick {

class CZipWriter {
 public:
  static constexpr int kSmartness = 7;  // store sources under 5 bytes
  static constexpr std::size_t kBufferSize = 65536;

  // `threads`: compression workers; -1 takes one per processor, 0 compresses on the caller's thread.
  explicit CZipWriter(int threads = -1);
  ~CZipWriter();
  CZipWriter(const CZipWriter&) = delete;
  CZipWriter& operator=(const CZipWriter&) = delete;

  // Creates (or truncates) the file and starts an empty archive; throws CZipException when the file
  // cannot be created (cause accessDenied for a permission problem).
  void OpenOnFile(const std::string& path);
  // Starts an empty archive at the start of `stream`, which must stay alive until Close.
  void OpenOnStream(CZipOutputStream& stream);

  // False, without throwing, when the archive is not open, the name is not safe (IsSafeEntryName),
  // or the source cannot be opened or read, is not a regular file or is the archive itself (nothing
  // of the entry is then left in the archive). Smartness 0 turns off storing tiny sources.
  bool AddFileFromPath(const std::string& path, const std::string& nameInArchive, int level, int smartness = kSmartness,
                       std::size_t bufferSize = kBufferSize);
  // What the last AddFileFromPath found its source's size to be when it opened it; -1 when that
  // add could not open the source. Spares the caller a stat of its own.
  std::int64_t LastSourceSize() const { return lastSourceSize_; }
  // Reads `source` in chunks to its end; the entry gets the current time and attributes 0x81B40020.
  // False for a name that is not safe, as for AddFileFromPath.
  bool AddFileFromStream(CZipInputStream& source, const std::string& nameInArchive, int level,
                         int smartness = kSmartness, std::size_t bufferSize = kBufferSize);

  // Writes the central directory and the end record; the target then holds a complete archive and
  // stays open for more entries.
  void Flush();
  // Finishes the archive unless it is current and closes the target. Closing a closed archive does
  // nothing.
  void Close();
  // Drops whatever is pending and closes the target without finishing it (after an exception).
  void Abort() noexcept;

  bool IsOpen() const { return output_ != nullptr; }
  // How many entries are finished.
  std::uint64_t EntryCount() const { return entryCount_; }

 private:
  struct PendingEntry {
    CZipEntryHeader header;
    bool headerWritten = false;
    uLong crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
  };

  void Start(CZipOutputStream& output);
  bool AddEntry(CZipInputStream& source, CZipEntryHeader header, std::int64_t knownSize, int level, int smartness);
  ZipBlock* AcquireBlock();
  static bool Fill(CZipInputStream& source, ZipBlock& block, std::size_t capacity, bool& ended);
  void RecycleBlock(ZipBlock* block);
  void DrainReady();
  void DrainAll();
  void WriteBlock(ZipBlock* block);
  void Emit(const void* data, std::size_t size);
  void Patch(std::uint64_t offset, const std::vector<unsigned char>& bytes);
  void FlushBuffer();
  void Rewind(std::uint64_t position);
  void AddDirectoryRecord(const CZipEntryHeader& header);
  void WriteCentralDirectory();
  void Shutdown();

  int threads_;
  std::unique_ptr<CZipFile> file_;
  CZipOutputStream* output_ = nullptr;
  // The central directory of the finished entries as it is written, record after record, in
  // chunks of about a mebibyte: a finished entry costs its record's bytes (46 plus its name) and no
  // single allocation grows with the archive.
  std::vector<std::vector<unsigned char>> directory_;
  std::uint64_t entryCount_ = 0;
  std::deque<PendingEntry> pending_;
  std::deque<ZipBlock*> inflight_;
  std::vector<std::unique_ptr<ZipBlock>> blocks_;  // every block, owned here
  std::vector<ZipBlock*> freeBlocks_;
  std::size_t inflightBytes_ = 0;
  std::vector<unsigned char> buffer_;  // written bytes not yet handed to the output
  std::uint64_t bufferStart_ = 0;      // archive offset of buffer_[0]; the end of the data follows it
  std::uint64_t highWater_ = 0;        // the furthest the output has been written
  bool directoryCurrent_ = false;
  std::int64_t lastSourceSize_ = -1;
  std::unique_ptr<CZipCompressor> compressor_;  // last: its workers end before the blocks go
};

}  // namespace tarnwick
