// Deflates the blocks of the entries being added on worker threads, so the writer can read the next
// file (or the next block of a large one) while earlier blocks are compressed. A large entry is cut
// into blocks; each block is deflated with the 32 KiB before it as dictionary and ends byte-aligned
// (sync flush), the last with the final block, so the pieces join into one raw deflate stream.
#pragma once

#include <zlib.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "app/Mutex.h"

namespace tarnwick {

// A byte buffer that grows without keeping or zero-filling its old contents.
struct ZipBuffer {
  std::unique_ptr<unsigned char[]> data;
  std::size_t capacity = 0;
  void Reserve(std::size_t size);
};

struct ZipBlock {
  static constexpr std::size_t kDictionarySize = 32768;

  // Input, filled by the writer.
  ZipBuffer input;
  std::size_t inputSize = 0;
  unsigned char dictionary[kDictionarySize];
  std::size_t dictionarySize = 0;
  int level = 0;  // 0: stored, only the CRC is computed
  bool last = false;
  void* entry = nullptr;  // the writer's pending entry

  // Output, filled by the compressor.
  ZipBuffer output;
  std::size_t outputSize = 0;
  uLong crc = 0;
  int error = Z_OK;
  std::atomic<bool> done{false};
};

class CZipCompressor {
 public:
  // `threads` 0 compresses on the caller's thread inside Submit.
  explicit CZipCompressor(unsigned threads);
  ~CZipCompressor();
  CZipCompressor(const CZipCompressor&) = delete;
  CZipCompressor& operator=(const CZipCompressor&) = delete;

  unsigned threads() const { return static_cast<unsigned>(workers_.size()); }
  void Submit(ZipBlock* block);
  // Returns once `block` is done, compressing queued blocks on the calling thread meanwhile.
  void Wait(ZipBlock* block);

 private:
  // One deflate stream per level, made on first use and reset for every block.
  struct DeflateStreams {
    z_stream streams[10]{};
    bool ready[10]{};
    ~DeflateStreams();
    z_stream* For(int level, int& error);
  };

  static void Compress(ZipBlock& block, DeflateStreams& streams);
  static bool LooksIncompressible(const ZipBlock& block, DeflateStreams& streams);
  void WorkerLoop();

  std::vector<std::thread> workers_;
  Mutex mutex_;
  CondVar work_;
  CondVar finished_;
  std::deque<ZipBlock*> queue_ GUARDED_BY(mutex_);
  bool stopping_ GUARDED_BY(mutex_) = false;
  DeflateStreams inlineStreams_;  // the caller's own, for Submit without workers and Wait
};

}  // namespace tarnwick
