#include "profiles/CatalogueStamp.h"

#include <sys/stat.h>

#include <ctime>
#include <string>

#include "app/ProgramFolder.h"
#include "profiles/Profile.h"

namespace tarnwick {
namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
// Longer than any tick of a file system's clock.
constexpr std::int64_t kSettleNs = kNsPerSecond;

std::int64_t Nanoseconds(const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * kNsPerSecond + t.tv_nsec; }

}  // namespace

CatalogueStamp CatalogueStamp::Take() {
  // The clock is read before the files, so a file modified after it counts as not settled.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t settledBefore = Nanoseconds(now) - kSettleNs;
  CatalogueStamp stamp;
  stamp.settled_ = true;
  const auto take = [&](const std::string& path, Entry& entry) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return;
    entry = {true, info.st_dev, info.st_ino, info.st_size, Nanoseconds(info.st_mtim)};
    if (entry.modifiedNs >= settledBefore) stamp.settled_ = false;
  };
  take(PathBesideProgram("profiles.ini").string(), stamp.catalogueFile_);
  take(ProfileFolder(), stamp.profileFolder_);
  return stamp;
}

bool CatalogueStamp::SameFiles(const CatalogueStamp& other) const {
  return settled_ && other.settled_ && catalogueFile_ == other.catalogueFile_ && profileFolder_ == other.profileFolder_;
}

}  // namespace tarnwick
