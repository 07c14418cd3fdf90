// What the catalogue's files on disk look like at a moment: profiles.ini and the Profile folder,
// each by its identity, size and modification time. The data folder also holds files that are not
// the catalogue (the scheduler's lock and socket, config.xml, the account files, saved logs); a
// watcher of that folder hears of every one of them, and comparing stamps tells which changes
// touched the catalogue, so that reading every profile again is kept for those.
#pragma once

#include <cstdint>

namespace tarnwick {

class CatalogueStamp {
 public:
  // The files as they are now (PathBesideProgram). Never fails: a missing file is part of the stamp.
  static CatalogueStamp Take();

  // True only when both stamps are settled and name the same files with the same sizes and
  // modification times. A file modified shortly before its stamp was taken may be modified again
  // within the same tick of the file system's clock without its time changing: such a stamp is
  // not settled and is never the same as another, so a change is never missed.
  bool SameFiles(const CatalogueStamp& other) const;

 private:
  struct Entry {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const Entry&) const = default;
  };

  Entry catalogueFile_;
  Entry profileFolder_;
  bool settled_ = false;
};

}  // namespace tarnwick
