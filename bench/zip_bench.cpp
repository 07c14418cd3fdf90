// Throughput of the zip writer on mixed data (random, text-like and zeros in turns) by level, on
// the caller's thread alone and with one worker per processor; the archive goes to a sink.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "zip/ZipMemStream.h"
#include "zip/ZipWriter.h"

namespace {

using namespace tarnwick;

class SinkStream : public CZipOutputStream {
 public:
  void Write(const void*, std::size_t size) override { position_ += size; }
  void Seek(std::uint64_t position) override { position_ = position; }
  void Truncate(std::uint64_t) override {}

 private:
  std::uint64_t position_ = 0;
};

class StringStream : public CZipInputStream {
 public:
  explicit StringStream(const std::string& data) : data_(data) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    const std::size_t count = std::min(size, data_.size() - position_);
    data_.copy(static_cast<char*>(buffer), count, position_);
    position_ += count;
    return count;
  }
  std::int64_t RemainingSize() const override { return static_cast<std::int64_t>(data_.size() - position_); }

 private:
  const std::string& data_;
  std::size_t position_ = 0;
};

const std::string& MixedData() {
  static const std::string data = [] {
    std::mt19937 random(1);
    std::string words[64];
    for (auto& word : words) {
      for (int i = 0, n = 2 + static_cast<int>(random() % 9); i < n; ++i)
        word.push_back(static_cast<char>('a' + random() % 26));
    }
    std::string out;
    const std::size_t mib = 1 << 20;
    for (int segment = 0; segment < 24; ++segment) {
      const std::size_t end = out.size() + mib;
      switch (segment % 3) {
        case 0:
          while (out.size() < end) out.push_back(static_cast<char>(random()));
          break;
        case 1:
          while (out.size() < end) {
            out += words[random() % 64];
            out.push_back(random() % 10 == 0 ? '\n' : ' ');
          }
          out.resize(end);
          break;
        default: out.append(mib, '\0');
      }
    }
    return out;
  }();
  return data;
}

void BM_AddOneLargeEntry(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  for (auto _ : state) {
    SinkStream sink;
    CZipWriter writer(threads);
    writer.OpenOnStream(sink);
    StringStream source(MixedData());
    writer.AddFileFromStream(source, "mixed.bin", level);
    writer.Close();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * MixedData().size()));
}
BENCHMARK(BM_AddOneLargeEntry)
    ->ArgsProduct({{1, 5, 9}, {0, -1}})
    ->ArgNames({"level", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_AddSmallEntries(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const std::string& data = MixedData();
  for (auto _ : state) {
    SinkStream sink;
    CZipWriter writer(threads);
    writer.OpenOnStream(sink);
    // 2,000 text-like entries of 8 KiB.
    for (std::size_t i = 0; i < 2000; ++i) {
      const std::string piece = data.substr((1 << 20) + (i * 8192) % (1 << 20), 8192);
      StringStream source(piece);
      std::string name = std::to_string(i);
      name.append(".txt");
      writer.AddFileFromStream(source, name, 5);
    }
    writer.Close();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2000 * 8192));
}
BENCHMARK(BM_AddSmallEntries)->Arg(0)->Arg(-1)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
