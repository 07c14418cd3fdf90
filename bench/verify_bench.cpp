// What "Verify after backup" costs against the backup it checks: an archive of mixed data (random,
// text-like and zeros in turns) is written from a source file on disk with the job's writer, then
// read back with the check a verifying job runs. Counters: seconds to write, seconds to verify, and
// verify/write (the goal is under 0.5). The size in MiB is the argument; TARNWICK_BENCH_VERIFY_MIB
// replaces the default set (64 and 1024) with one size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "zip/ZipArchiveCheck.h"
#include "zip/ZipWriter.h"

namespace {

using namespace tarnwick;
namespace fs = std::filesystem;

// Writes `mib` MiB of mixed data to `path`, one MiB segment of each kind in turn.
void WriteMixedSource(const fs::path& path, long mib) {
  std::mt19937 random(1);
  std::ofstream out(path, std::ios::binary);
  std::string segment(std::size_t{1} << 20, '\0');
  for (long i = 0; i < mib; ++i) {
    if (i % 3 == 0) {
      for (auto& c : segment) c = static_cast<char>(random());
    } else if (i % 3 == 1) {
      std::string text;
      while (text.size() < segment.size()) text += "line " + std::to_string(random() % 100000) + " of the report\n";
      segment.assign(text, 0, segment.size());
    } else {
      segment.assign(segment.size(), '\0');
    }
    out.write(segment.data(), static_cast<std::streamsize>(segment.size()));
  }
}

double Seconds(std::chrono::steady_clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

void BM_VerifyAgainstWrite(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / ("tarnwick-verify-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path source = folder / "source.bin", archive = folder / "backup.zip";
  WriteMixedSource(source, state.range(0));
  double write = 0, verify = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    CZipWriter writer;
    writer.OpenOnFile(archive.string());
    if (!writer.AddFileFromPath(source.string(), "source.bin", 5)) state.SkipWithError("the source cannot be added");
    writer.Close();
    const auto written = std::chrono::steady_clock::now();
    int faults = 0;
    ZipCheckCallbacks callbacks;
    callbacks.onEntry = [&](const ZipCheckedEntry& entry) {
      faults += entry.fault != ZipEntryFault::None;
      return true;
    };
    if (!CheckZipArchive(archive.string(), callbacks).ok() || faults != 0) state.SkipWithError("the check failed");
    const auto verified = std::chrono::steady_clock::now();
    write += Seconds(written - start);
    verify += Seconds(verified - written);
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["write_s"] = write / runs;
  state.counters["verify_s"] = verify / runs;
  state.counters["verify/write"] = verify / write;
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
  fs::remove_all(folder);
}

void Sizes(benchmark::internal::Benchmark* bench) {
  if (const char* mib = std::getenv("TARNWICK_BENCH_VERIFY_MIB")) {
    bench->Arg(std::atol(mib));
  } else {
    bench->Arg(64)->Arg(1024);
  }
}

BENCHMARK(BM_VerifyAgainstWrite)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
