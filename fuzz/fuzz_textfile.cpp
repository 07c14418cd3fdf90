// ReadLine over any bytes, with the log's capacity and with a small one: the lines are the input
// without its line breaks, cut to the capacity, never empty. ReadWholeLine over the same bytes: the
// lines, joined by LF, are the input with each CR LF and CR made an LF, whatever the capacity.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "formats/TextFile.h"

namespace {

// One scratch file per process, removed when the fuzzer exits.
struct ScratchFile {
  std::string path = "/tmp/fuzz_textfile_" + std::to_string(::getpid());
  ~ScratchFile() { ::unlink(path.c_str()); }
};

const std::string& ScratchPath() {
  static const ScratchFile scratch;
  return scratch.path;
}

void Check(const std::string& bytes, int32_t capacity) {
  tarnwick::CTextFile file(capacity);
  if (!file.OpenReadOnly(ScratchPath(), tarnwick::kNoSizeLimit)) abort();
  std::string expected;
  for (const char c : bytes) {
    if (c != '\r' && c != '\n') expected += c;
  }
  std::string joined;
  std::string line;
  while (file.ReadLine(line)) {
    if (line.empty() || line.size() > static_cast<size_t>(file.Capacity()) - 1) abort();
    if (line.find_first_of("\r\n") != std::string::npos) abort();
    // Only a line that fills the buffer can have been cut.
    if (file.LineWasCut() && line.size() != static_cast<size_t>(file.Capacity()) - 1) abort();
    joined += line;
  }
  if (joined != expected) abort();
}

void CheckWholeLines(const std::string& bytes, int32_t capacity) {
  tarnwick::CTextFile file(capacity);
  if (!file.OpenReadOnly(ScratchPath(), tarnwick::kNoSizeLimit)) abort();
  std::string expected;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    expected += bytes[i] == '\r' ? '\n' : bytes[i];
  }
  std::string joined;
  std::string line;
  while (file.ReadWholeLine(line)) {
    if (line.find_first_of("\r\n") != std::string::npos) abort();
    joined += line + "\n";
  }
  // The last line needs no break of its own.
  if (!expected.empty() && expected.back() != '\n') expected += '\n';
  if (joined != expected) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  FILE* out = std::fopen(ScratchPath().c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  Check(bytes, tarnwick::CTextFile::kDefaultCapacity);
  Check(bytes, size > 0 ? data[0] % 16 : 1);
  CheckWholeLines(bytes, size > 0 ? data[0] % 16 : 1);
  return 0;
}
