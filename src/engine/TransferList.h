// The engine's file list: what to read and where it goes, built whole before the first transfer.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// `source` is the file to read; `target` is the full path of the copy (copy job), the name inside
// the archive (zip job) or the destination folder (remote lists). Paths are never cut: a path the
// file system cannot take fails when it is opened and is reported as a failed file.
struct TransferEntry {
  std::string source;
  std::string target;
};

using TransferList = std::vector<TransferEntry>;

}  // namespace tarnwick
