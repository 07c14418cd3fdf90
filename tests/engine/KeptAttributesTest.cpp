// What a backup keeps of its sources' attributes, as users rely on it: a copy keeps the
// modification time and the permission bits but never set-user-id, set-group-id or sticky; an
// archive is always the owner's alone, whatever it holds and whatever it replaces.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "EngineTestSupport.h"
#include "engine/CompressedBackup.h"
#include "engine/LocalCopy.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// Sets the umask for one test and puts the old one back.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(KeptAttributesTest, ACopyKeepsTimeAndPermissionsButNoSpecialBits) {
  const ScopedUmask mask(022);
  const struct {
    mode_t source, copy;
  } cases[] = {{04755, 0755}, {02750, 0750}, {06711, 0711}, {01777, 0755}, {0600, 0600}, {0444, 0444}};
  for (const auto& c : cases) {
    TempDir dir;
    JobRun run;
    const fs::path source = dir / "src.bin", target = dir / "dst/copy.bin";
    WriteFile(source, "data");
    fs::create_directories(target.parent_path());
    ASSERT_EQ(::chmod(source.c_str(), c.source), 0);
    const auto modified = fs::last_write_time(source) - std::chrono::hours(30);
    fs::last_write_time(source, modified);
    ASSERT_TRUE(CopyLocalFile(run.context, source.string(), target.string()));
    EXPECT_EQ(ModeOf(target), c.copy) << std::oct << c.source;
    EXPECT_EQ(fs::last_write_time(target), modified) << std::oct << c.source;
  }
}

TEST(KeptAttributesTest, AnArchiveIsTheOwnersAloneWhateverItHoldsOrReplaces) {
  const ScopedUmask mask(0);  // nothing narrows the archive but the program itself
  TempDir dir;
  JobRun run;
  WriteFile(dir / "shared.txt", "for everyone");
  ASSERT_EQ(::chmod((dir / "shared.txt").c_str(), 0666), 0);
  run.job.localSources.push_back({(dir / "shared.txt").string(), "", ItemKind::LocalFile, false});
  run.job.localDestFolder = (dir / "dst").string();
  run.job.zipPath = (dir / "dst/backup.zip").string();
  run.job.zipLevel = 5;
  WriteFile(dir / "dst/backup.zip", "an older archive, readable by all");
  ASSERT_EQ(::chmod((dir / "dst/backup.zip").c_str(), 0644), 0);
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(ModeOf(dir / "dst/backup.zip"), 0600u);
}

}  // namespace
}  // namespace tarnwick::test
