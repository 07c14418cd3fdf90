#include "zip/ZipCompressor.h"

#include <cstring>
#include <new>

namespace tarnwick {

void ZipBuffer::Reserve(std::size_t size) {
  if (size <= capacity) return;
  data.reset(new unsigned char[size]);
  capacity = size;
}

CZipCompressor::DeflateState::~DeflateState() {
  if (level >= 0) deflateEnd(&stream);
}

CZipCompressor::CZipCompressor(unsigned threads) {
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

CZipCompressor::~CZipCompressor() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void CZipCompressor::Submit(ZipBlock* block) {
  block->done.store(false, std::memory_order_relaxed);
  if (workers_.empty()) {
    Compress(*block, inlineState_);
    block->done.store(true, std::memory_order_release);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(block);
  }
  work_.notify_one();
}

void CZipCompressor::Wait(ZipBlock* block) {
  if (block->done.load(std::memory_order_acquire)) return;
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [block] { return block->done.load(std::memory_order_acquire); });
}

void CZipCompressor::WorkerLoop() {
  DeflateState state;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    ZipBlock* block = queue_.front();
    queue_.pop_front();
    lock.unlock();
    Compress(*block, state);
    lock.lock();
    block->done.store(true, std::memory_order_release);
    finished_.notify_all();
  }
}

void CZipCompressor::Compress(ZipBlock& block, DeflateState& state) {
  block.crc = crc32(0L, block.input.data.get(), static_cast<uInt>(block.inputSize));
  block.outputSize = 0;
  block.error = Z_OK;
  if (block.level == 0) return;
  try {
    z_stream& z = state.stream;
    if (state.level != block.level) {
      if (state.level >= 0) deflateEnd(&z);
      state.level = -1;
      z = z_stream{};
      const int init = deflateInit2(&z, block.level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      if (init != Z_OK) {
        block.error = init;
        return;
      }
      state.level = block.level;
    } else if (deflateReset(&z) != Z_OK) {
      block.error = Z_STREAM_ERROR;
      return;
    }
    if (block.dictionarySize > 0) {
      const int set = deflateSetDictionary(&z, block.dictionary, static_cast<uInt>(block.dictionarySize));
      if (set != Z_OK) {
        block.error = set;
        return;
      }
    }
    // A sync flush adds an empty stored block to what deflateBound allows for a finished stream.
    block.output.Reserve(deflateBound(&z, static_cast<uLong>(block.inputSize)) + 64);
    z.next_in = block.input.data.get();
    z.avail_in = static_cast<uInt>(block.inputSize);
    const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      z.next_out = block.output.data.get() + block.outputSize;
      z.avail_out = static_cast<uInt>(block.output.capacity - block.outputSize);
      const int result = deflate(&z, flush);
      block.outputSize = block.output.capacity - z.avail_out;
      if (result == Z_STREAM_ERROR) {
        block.error = result;
        return;
      }
      if (block.last ? result == Z_STREAM_END : (z.avail_in == 0 && z.avail_out > 0)) return;
      if (z.avail_out == 0) {
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
