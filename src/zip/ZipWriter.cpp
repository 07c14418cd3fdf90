#include "zip/ZipWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>

#include "zip/ZipException.h"
#include "zip/ZipFileReader.h"

namespace tarnwick {

namespace {

// A large source is cut into blocks of this size, each deflated on its own worker.
constexpr std::size_t kBlockSize = 1 << 20;
// Bounds on what is read ahead of the output, which keep memory use flat whatever the data.
constexpr std::size_t kMaxInflightBlocks = 128;
constexpr std::size_t kMaxInflightBytes = 16u << 20;
// A source this large reserves the Zip64 size field in its local header: deflate can expand data
// slightly, so an entry just under 4 GiB may still end up over it.
constexpr std::int64_t kZip64Threshold = 0xFFFFFFFFll - (64ll << 20);
constexpr std::size_t kTinySource = 5;
constexpr std::size_t kDirectoryChunk = 1 << 20;

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;

}  // namespace

CZipWriter::CZipWriter(int threads) : threads_(threads) {
  if (threads_ < 0) threads_ = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

CZipWriter::~CZipWriter() { Abort(); }

void CZipWriter::OpenOnFile(const std::string& path) {
  Close();
  file_ = std::make_unique<CZipFile>(path);
  Start(*file_);
}

void CZipWriter::OpenOnStream(CZipOutputStream& stream) {
  Close();
  stream.Seek(0);
  stream.Truncate(0);
  Start(stream);
}

void CZipWriter::Start(CZipOutputStream& output) {
  if (!compressor_) compressor_ = std::make_unique<CZipCompressor>(static_cast<unsigned>(threads_));
  output_ = &output;
  directory_.clear();
  entryCount_ = 0;
  pending_.clear();
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  bufferStart_ = 0;
  highWater_ = 0;
  directoryCurrent_ = false;
}

bool CZipWriter::AddFileFromPath(const std::string& path, const std::string& nameInArchive, int level, int smartness,
                                 std::size_t /*bufferSize*/) {
  lastSourceSize_ = -1;
  if (!IsOpen() || !IsSafeEntryName(nameInArchive)) return false;
  CZipFileReader source(path);
  if (!source.ok()) return false;
  // An archive never takes itself in: it would grow as fast as it is read, until the disk is full.
  if (file_ && file_->IsSameFile(source.status())) return false;
  lastSourceSize_ = source.status().st_size;
  CZipEntryHeader header;
  SetEntryName(header, nameInArchive);
  header.externalAttributes = ExternalAttributesForMode(source.status().st_mode);
  DosDateTime(source.status().st_mtime, header.dosDate, header.dosTime);
  return AddEntry(source, std::move(header), source.RemainingSize(), level, smartness);
}

bool CZipWriter::AddFileFromStream(CZipInputStream& source, const std::string& nameInArchive, int level, int smartness,
                                   std::size_t /*bufferSize*/) {
  if (!IsOpen() || !IsSafeEntryName(nameInArchive)) return false;
  CZipEntryHeader header;
  SetEntryName(header, nameInArchive);
  header.externalAttributes = CZipEntryHeader::kStreamAttributes;
  DosDateTime(std::time(nullptr), header.dosDate, header.dosTime);
  return AddEntry(source, std::move(header), source.RemainingSize(), level, smartness);
}

bool CZipWriter::Fill(CZipInputStream& source, ZipBlock& block, std::size_t capacity, bool& ended) {
  block.input.Reserve(capacity);
  block.inputSize = 0;
  try {
    while (block.inputSize < capacity) {
      const std::size_t wanted = capacity - block.inputSize;
      const std::size_t got = source.Read(block.input.data.get() + block.inputSize, wanted);
      block.inputSize += got;
      if (got == 0 || (got < wanted && source.ShortReadIsEnd())) {
        ended = true;
        break;
      }
    }
  } catch (...) {
    return false;
  }
  return true;
}

bool CZipWriter::AddEntry(CZipInputStream& source, CZipEntryHeader header, std::int64_t knownSize, int level,
                          int smartness) {
  if (header.name.size() > 0xFFFF || header.unicodeName.size() > 0xFFFF - 64) return false;
  level = std::clamp(level, 0, 9);
  // A source known to be small is read whole in one go, with room to see its end.
  const std::size_t firstCapacity = knownSize >= 0 && static_cast<std::uint64_t>(knownSize) < kBlockSize
                                        ? static_cast<std::size_t>(knownSize) + 1
                                        : kBlockSize;
  bool ended = false;
  ZipBlock* current = AcquireBlock();
  if (!Fill(source, *current, firstCapacity, ended)) {
    RecycleBlock(current);
    return false;
  }
  if (ended && current->inputSize < kTinySource && smartness != 0) level = 0;
  header.method = level == 0 ? 0 : 8;
  if (level != 0) header.flags |= DeflateFlagsForLevel(level);
  header.zip64Local = knownSize >= kZip64Threshold;
  if (header.zip64Local) header.versionNeeded = CZipEntryHeader::kVersionZip64;
  pending_.push_back(PendingEntry{std::move(header)});
  PendingEntry* entry = &pending_.back();
  directoryCurrent_ = false;

  for (;;) {
    ZipBlock* next = nullptr;
    if (!ended) {
      next = AcquireBlock();
      if (!Fill(source, *next, kBlockSize, ended)) {
        // Unreadable part way: take back everything of this entry.
        RecycleBlock(next);
        RecycleBlock(current);
        DrainAll();
        if (entry->headerWritten) Rewind(entry->header.localHeaderOffset);
        pending_.pop_back();
        return false;
      }
      if (next->inputSize == 0) {
        RecycleBlock(next);
        next = nullptr;
      }
    }
    current->level = level;
    current->entry = entry;
    current->last = next == nullptr;
    if (next != nullptr) {
      // The dictionary is the data just before the next block, up to the 32 KiB deflate can reach.
      next->dictionarySize = std::min(ZipBlock::kDictionarySize, current->inputSize);
      std::memcpy(next->dictionary, current->input.data.get() + current->inputSize - next->dictionarySize,
                  next->dictionarySize);
    }
    compressor_->Submit(current);
    inflight_.push_back(current);
    inflightBytes_ += current->inputSize;
    DrainReady();
    while (inflight_.size() >= kMaxInflightBlocks || inflightBytes_ > kMaxInflightBytes) {
      compressor_->Wait(inflight_.front());
      DrainReady();
    }
    if (next == nullptr) return true;
    current = next;
  }
}

ZipBlock* CZipWriter::AcquireBlock() {
  ZipBlock* block;
  if (freeBlocks_.empty()) {
    blocks_.push_back(std::make_unique<ZipBlock>());
    block = blocks_.back().get();
  } else {
    block = freeBlocks_.back();
    freeBlocks_.pop_back();
  }
  block->inputSize = 0;
  block->dictionarySize = 0;
  block->outputSize = 0;
  return block;
}

void CZipWriter::RecycleBlock(ZipBlock* block) { freeBlocks_.push_back(block); }

void CZipWriter::DrainReady() {
  while (!inflight_.empty() && inflight_.front()->done.load(std::memory_order_acquire)) {
    ZipBlock* block = inflight_.front();
    inflight_.pop_front();
    inflightBytes_ -= block->inputSize;
    // Recycled even when writing throws, so Abort does not wait for it twice.
    RecycleBlock(block);
    WriteBlock(block);
  }
}

void CZipWriter::DrainAll() {
  while (!inflight_.empty()) {
    compressor_->Wait(inflight_.front());
    DrainReady();
  }
}

void CZipWriter::WriteBlock(ZipBlock* block) {
  PendingEntry& entry = *static_cast<PendingEntry*>(block->entry);
  CZipEntryHeader& header = entry.header;
  if (block->error != Z_OK) throw CZipException(CZipException::CauseFromZlib(block->error), header.name);
  const bool stored = block->level == 0;
  const std::size_t outputSize = stored ? block->inputSize : block->outputSize;
  entry.crc = crc32_combine(entry.crc, block->crc, static_cast<z_off_t>(block->inputSize));
  entry.compressedSize += outputSize;
  entry.uncompressedSize += block->inputSize;
  if (block->last) {
    header.crc32 = static_cast<std::uint32_t>(entry.crc);
    header.compressedSize = entry.compressedSize;
    header.uncompressedSize = entry.uncompressedSize;
  }

  const bool patchHeader = entry.headerWritten;
  if (!entry.headerWritten) {
    header.localHeaderOffset = bufferStart_ + buffer_.size();
    if (header.localHeaderOffset >= CZipEntryHeader::kMax32) header.versionNeeded = CZipEntryHeader::kVersionZip64;
    // A one-block entry is complete already: its header goes out final, as the patch would leave it.
    std::vector<unsigned char> bytes;
    header.AppendLocalHeader(bytes);
    Emit(bytes.data(), bytes.size());
    entry.headerWritten = true;
  }
  Emit(stored ? block->input.data.get() : block->output.data.get(), outputSize);
  if (!block->last) return;

  if (!header.zip64Local &&
      (header.compressedSize >= CZipEntryHeader::kMax32 || header.uncompressedSize >= CZipEntryHeader::kMax32)) {
    // The source grew past 4 GiB beyond the size it announced; its local header has no room.
    throw CZipException(CZipException::generic, header.name);
  }
  if (patchHeader) {
    std::vector<unsigned char> bytes;
    header.AppendLocalPatch(bytes);
    Patch(header.localHeaderOffset + 14, bytes);
    if (header.zip64Local) {
      bytes.clear();
      header.AppendLocalZip64Patch(bytes);
      Patch(header.localHeaderOffset + header.LocalZip64FieldOffset(), bytes);
    }
  }
  AddDirectoryRecord(header);
  pending_.pop_front();
}

void CZipWriter::AddDirectoryRecord(const CZipEntryHeader& header) {
  if (directory_.empty() || directory_.back().size() >= kDirectoryChunk) {
    directory_.emplace_back().reserve(kDirectoryChunk + 1024);
  }
  header.AppendCentralHeader(directory_.back());
  ++entryCount_;
}

void CZipWriter::Emit(const void* data, std::size_t size) {
  if (buffer_.size() + size > kBufferSize) FlushBuffer();
  if (size >= kBufferSize) {
    output_->Write(data, size);
    bufferStart_ += size;
    highWater_ = std::max(highWater_, bufferStart_);
    return;
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

void CZipWriter::FlushBuffer() {
  if (buffer_.empty()) return;
  output_->Write(buffer_.data(), buffer_.size());
  bufferStart_ += buffer_.size();
  buffer_.clear();
  highWater_ = std::max(highWater_, bufferStart_);
}

void CZipWriter::Patch(std::uint64_t offset, const std::vector<unsigned char>& bytes) {
  if (offset >= bufferStart_) {
    std::memcpy(buffer_.data() + (offset - bufferStart_), bytes.data(), bytes.size());
    return;
  }
  FlushBuffer();
  output_->Seek(offset);
  output_->Write(bytes.data(), bytes.size());
  output_->Seek(bufferStart_);
}

void CZipWriter::Rewind(std::uint64_t position) {
  if (position >= bufferStart_) {
    buffer_.resize(static_cast<std::size_t>(position - bufferStart_));
    return;
  }
  buffer_.clear();
  bufferStart_ = position;
  output_->Seek(position);
}

void CZipWriter::WriteCentralDirectory() {
  const std::uint64_t directoryOffset = bufferStart_ + buffer_.size();
  for (const auto& chunk : directory_) Emit(chunk.data(), chunk.size());
  std::vector<unsigned char> bytes;
  const std::uint64_t endOffset = bufferStart_ + buffer_.size();
  const std::uint64_t directorySize = endOffset - directoryOffset;
  const std::uint64_t count = entryCount_;
  const bool zip64 =
      count > 0xFFFF || directorySize >= CZipEntryHeader::kMax32 || directoryOffset >= CZipEntryHeader::kMax32;
  if (zip64) {
    PutU32(bytes, kZip64EndSignature);
    PutU64(bytes, 44);  // size of the rest of the record
    PutU16(bytes, CZipEntryHeader::kVersionZip64);
    PutU16(bytes, CZipEntryHeader::kVersionZip64);
    PutU32(bytes, 0);  // this disk
    PutU32(bytes, 0);  // disk of the central directory
    PutU64(bytes, count);
    PutU64(bytes, count);
    PutU64(bytes, directorySize);
    PutU64(bytes, directoryOffset);
    PutU32(bytes, kZip64LocatorSignature);
    PutU32(bytes, 0);
    PutU64(bytes, endOffset);
    PutU32(bytes, 1);  // total disks
  }
  const auto count16 = static_cast<std::uint16_t>(std::min<std::uint64_t>(count, 0xFFFF));
  PutU32(bytes, kEndSignature);
  PutU16(bytes, 0);
  PutU16(bytes, 0);
  PutU16(bytes, count16);
  PutU16(bytes, count16);
  PutU32(bytes, static_cast<std::uint32_t>(std::min<std::uint64_t>(directorySize, CZipEntryHeader::kMax32)));
  PutU32(bytes, static_cast<std::uint32_t>(std::min<std::uint64_t>(directoryOffset, CZipEntryHeader::kMax32)));
  PutU16(bytes, 0);
  Emit(bytes.data(), bytes.size());
  FlushBuffer();
  // An archive rewritten after a dropped entry can end before what was written earlier.
  if (highWater_ > bufferStart_) {
    output_->Truncate(bufferStart_);
    highWater_ = bufferStart_;
  }
  output_->Flush();
  // The next entry goes over the directory, which is written again at the new end.
  Rewind(directoryOffset);
  directoryCurrent_ = true;
}

void CZipWriter::Flush() {
  if (!IsOpen()) return;
  DrainAll();
  WriteCentralDirectory();
}

void CZipWriter::Close() {
  if (!IsOpen()) return;
  DrainAll();
  if (!directoryCurrent_) WriteCentralDirectory();
  if (file_) file_->Close();
  Shutdown();
}

void CZipWriter::Abort() noexcept {
  for (ZipBlock* block : inflight_) compressor_->Wait(block);
  for (ZipBlock* block : inflight_) RecycleBlock(block);
  inflight_.clear();
  inflightBytes_ = 0;
  pending_.clear();
  if (file_) {
    try {
      file_->Close();
    } catch (...) {
      // The archive is being given up; its close result does not matter.
    }
  }
  Shutdown();
}

void CZipWriter::Shutdown() {
  file_.reset();
  output_ = nullptr;
  buffer_.clear();
}

}  // namespace tarnwick
