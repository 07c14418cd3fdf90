// The archive check over any bytes: it never crashes, reports no more entries than the file can
// hold directory entries for, reads its data forward and inside the file, and refuses a damaged
// directory before it reports any entry. A damaged archive downloaded from a server is exactly this input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zip/ZipArchiveCheck.h"

namespace {

// One scratch file per process, removed when the fuzzer exits.
struct ScratchFile {
  std::string path = "/tmp/fuzz_zip_check_" + std::to_string(::getpid());
  ~ScratchFile() { ::unlink(path.c_str()); }
};

const std::string& ScratchPath() {
  static const ScratchFile scratch;
  return scratch.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* out = std::fopen(ScratchPath().c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);

  std::size_t entries = 0;
  std::uint64_t lastDone = 0;
  tarnwick::ZipCheckCallbacks callbacks;
  callbacks.onEntry = [&](const tarnwick::ZipCheckedEntry&) {
    ++entries;
    return true;
  };
  callbacks.onProgress = [&](std::uint64_t done, std::uint64_t total) {
    // Progress only grows, and the data read lies inside the file.
    if (done < lastDone || done > size || (total != 0 && done > total)) abort();
    lastDone = done;
    return true;
  };
  const tarnwick::Status status = tarnwick::CheckZipArchive(ScratchPath(), callbacks);
  // A central directory entry takes at least 46 bytes.
  if (entries * 46 > size) abort();
  // Nobody asked to stop; and the directory is read whole before the first entry is told, so an
  // archive refused as corrupt has told none.
  if (status.code() == tarnwick::StatusCode::Stopped) abort();
  if (status.code() == tarnwick::StatusCode::Corrupt && entries != 0) abort();
  return 0;
}
