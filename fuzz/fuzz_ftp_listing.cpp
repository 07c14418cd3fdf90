// Listing replies of any bytes, read as MLSD and as LIST: no crash, and what comes back holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp/FtpListParser.h"

namespace {

void Check(const std::vector<tarnwick::FtpFileInfo>& entries, std::string_view text) {
  for (const tarnwick::FtpFileInfo& entry : entries) {
    if (entry.name.empty() || entry.name == "." || entry.name == "..") {
      if (!entry.unparsed) abort();
    }
    // An unread line is a line of the input, untouched.
    if (entry.unparsed && (entry.size != 0 || entry.hasTime || text.find(entry.name) == std::string_view::npos)) {
      abort();
    }
    const std::string_view name = tarnwick::UnixNameOfUnparsedLine(entry.name);
    if (name.size() > entry.name.size()) abort();
  }
}

// An MLSD line without facts is never an entry, not even an unread one.
void CheckMlsd(const std::vector<tarnwick::FtpFileInfo>& entries) {
  for (const tarnwick::FtpFileInfo& entry : entries) {
    const std::string_view line = entry.name;
    if (entry.unparsed && line.substr(0, line.find(' ')).find('=') == std::string_view::npos) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<tarnwick::FtpFileInfo> mlsd = tarnwick::ParseMlsdListing(text);
  Check(mlsd, text);
  CheckMlsd(mlsd);
  // A fixed "now", so that a run repeats; 2024-03-15.
  Check(tarnwick::ParseListListing(text, 1710504000), text);
  return 0;
}
