// ReadProfile on a file of any bytes: it reads defaults and skips what it cannot use, never
// crashes. Whatever it reads, written and read again must be a fixed point of the writer.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/BackupJob.h"
#include "formats/FileIo.h"
#include "formats/PartFile.h"
#include "profiles/Profile.h"

namespace {

// Tuesday 5 March 2024, 09:30:15.
const std::time_t kNow = tarnwick::MakeLocalTime(2024, 3, 5, 9, 30, 15);

// A folder of this process's own in memory-backed storage where there is one.
std::string WorkFolder() {
  const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  const std::string folder = std::string(base) + "/fuzz_profile." + std::to_string(::getpid());
  // The name comes from the file name, so both writes use the same one, in folders of their own.
  std::filesystem::create_directories(folder + "/first");
  std::filesystem::create_directories(folder + "/second");
  return folder;
}

std::string ReadBack(const std::string& path) {
  std::string text;
  if (!tarnwick::ReadWholeFile(path, tarnwick::kProfileFileLimit, text).ok()) abort();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = WorkFolder();
  const std::string input = folder + "/input.pfl";
  if (!tarnwick::ReplaceFile(input, std::string_view(reinterpret_cast<const char*>(data), size), 0600).ok()) abort();

  tarnwick::Profile profile;
  // A file that is not a profile is refused with a status; only a profile is read and written back.
  if (!tarnwick::ReadProfile(input, profile, kNow).ok()) return 0;
  if (profile.name != "input") abort();  // stored levels are kept as written
  tarnwick::BackupJob job;
  tarnwick::MakeJob(profile, job, kNow);
  tarnwick::DestinationText(profile, kNow);

  // The first write normalises (times of day, dates); from then on write and read agree.
  profile.filePath = folder + "/first/input.pfl";
  if (!tarnwick::WriteProfile(profile, kNow).ok()) abort();
  tarnwick::Profile again;
  if (!tarnwick::ReadProfile(profile.filePath, again, kNow).ok()) abort();
  again.filePath = folder + "/second/input.pfl";
  if (!tarnwick::WriteProfile(again, kNow).ok()) abort();
  if (ReadBack(folder + "/first/input.pfl") != ReadBack(folder + "/second/input.pfl")) abort();
  return 0;
}
