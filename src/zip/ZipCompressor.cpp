#include "zip/ZipCompressor.h"

#include <cstring>
#include <new>

namespace tarnwick {

void ZipBuffer::Reserve(std::size_t size) {
  if (size <= capacity) return;
  data.reset(new unsigned char[size]);
  capacity = size;
}

namespace {

// Blocks of already-compressed data are sampled first: deflate cannot shrink them, and searching
// them for matches costs as much as real text. Such a block is written as stored deflate blocks,
// which is what deflate would emit for it anyway.
constexpr std::size_t kSampleSize = 8192;
constexpr std::size_t kSampledBlockSize = 65536;

}  // namespace

CZipCompressor::DeflateStreams::~DeflateStreams() {
  for (int level = 0; level < 10; ++level) {
    if (ready[level]) deflateEnd(&streams[level]);
  }
}

z_stream* CZipCompressor::DeflateStreams::For(int level, int& error) {
  z_stream& z = streams[level];
  if (!ready[level]) {
    z = z_stream{};
    error = deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (error != Z_OK) return nullptr;
    ready[level] = true;
  } else if ((error = deflateReset(&z)) != Z_OK) {
    return nullptr;
  }
  return &z;
}

CZipCompressor::CZipCompressor(unsigned threads) {
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

CZipCompressor::~CZipCompressor() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
  }
  work_.NotifyAll();
  for (auto& worker : workers_) worker.join();
}

void CZipCompressor::Submit(ZipBlock* block) {
  block->done.store(false, std::memory_order_relaxed);
  if (workers_.empty()) {
    Compress(*block, inlineStreams_);
    block->done.store(true, std::memory_order_release);
    return;
  }
  {
    MutexLock lock(mutex_);
    queue_.push_back(block);
  }
  work_.NotifyOne();
}

void CZipCompressor::Wait(ZipBlock* block) {
  if (block->done.load(std::memory_order_acquire)) return;
  MutexLock lock(mutex_);
  // Rather than sleep, the waiting thread takes queued blocks itself.
  while (!block->done.load(std::memory_order_acquire)) {
    if (queue_.empty()) {
      finished_.Wait(mutex_);
      continue;
    }
    ZipBlock* job = queue_.front();
    queue_.pop_front();
    lock.Unlock();
    Compress(*job, inlineStreams_);
    lock.Lock();
    job->done.store(true, std::memory_order_release);
    finished_.NotifyAll();
  }
}

void CZipCompressor::WorkerLoop() {
  DeflateStreams streams;
  MutexLock lock(mutex_);
  for (;;) {
    while (!stopping_ && queue_.empty()) work_.Wait(mutex_);
    if (stopping_) return;
    ZipBlock* block = queue_.front();
    queue_.pop_front();
    lock.Unlock();
    Compress(*block, streams);
    lock.Lock();
    block->done.store(true, std::memory_order_release);
    finished_.NotifyAll();
  }
}

bool CZipCompressor::LooksIncompressible(const ZipBlock& block, DeflateStreams& streams) {
  if (block.inputSize < kSampledBlockSize) return false;
  unsigned char sample[kSampleSize + 256];
  const std::size_t starts[] = {0, (block.inputSize - kSampleSize) / 2, block.inputSize - kSampleSize};
  for (std::size_t start : starts) {
    int error = Z_OK;
    z_stream* z = streams.For(1, error);
    if (z == nullptr) return false;
    z->next_in = block.input.data.get() + start;
    z->avail_in = kSampleSize;
    z->next_out = sample;
    z->avail_out = sizeof sample;
    if (deflate(z, Z_FINISH) != Z_STREAM_END) return false;
    // Less than 2% saved anywhere counts as incompressible.
    if (z->total_out < kSampleSize - kSampleSize / 50) return false;
  }
  return true;
}

void CZipCompressor::Compress(ZipBlock& block, DeflateStreams& streams) {
  block.crc = crc32(0L, block.input.data.get(), static_cast<uInt>(block.inputSize));
  block.outputSize = 0;
  block.error = Z_OK;
  if (block.level == 0) return;
  try {
    const int level = LooksIncompressible(block, streams) ? 0 : block.level;
    int error = Z_OK;
    z_stream* z = streams.For(level, error);
    if (z == nullptr) {
      block.error = error;
      return;
    }
    if (block.dictionarySize > 0 && level != 0) {
      const int set = deflateSetDictionary(z, block.dictionary, static_cast<uInt>(block.dictionarySize));
      if (set != Z_OK) {
        block.error = set;
        return;
      }
    }
    // A sync flush adds an empty stored block to what deflateBound allows for a finished stream.
    block.output.Reserve(deflateBound(z, static_cast<uLong>(block.inputSize)) + 64);
    z->next_in = block.input.data.get();
    z->avail_in = static_cast<uInt>(block.inputSize);
    const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      z->next_out = block.output.data.get() + block.outputSize;
      z->avail_out = static_cast<uInt>(block.output.capacity - block.outputSize);
      const int result = deflate(z, flush);
      block.outputSize = block.output.capacity - z->avail_out;
      if (result == Z_STREAM_ERROR) {
        block.error = result;
        return;
      }
      if (block.last ? result == Z_STREAM_END : (z->avail_in == 0 && z->avail_out > 0)) return;
      if (z->avail_out == 0) {
        // Should not happen within the bound; grow rather than fail.
        ZipBuffer bigger;
        bigger.Reserve(block.output.capacity * 2);
        std::memcpy(bigger.data.get(), block.output.data.get(), block.outputSize);
        block.output = std::move(bigger);
      }
    }
  } catch (const std::bad_alloc&) {
    block.error = Z_MEM_ERROR;
  }
}

}  // namespace tarnwick
