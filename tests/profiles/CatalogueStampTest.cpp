#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>

#include "app/ProgramFolder.h"
#include "profiles/CatalogueStamp.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

// An hour-old catalogue of one profile; each case changes something and says whether the stamps
// taken before and after name the same catalogue.
struct StampCase {
  const char* name;
  std::function<void(const fs::path& data)> change;
  bool same;
};

void PrintTo(const StampCase& c, std::ostream* out) { *out << c.name; }

const fs::file_time_type kAnHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);

class CatalogueStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(CatalogueStampTest, OnlyChangesOfTheCatalogueFilesCount) {
  test::TempDir dir;
  SetProgramFolderPath(dir.path());
  fs::create_directories(dir / "Profile");
  WriteFile(dir / "Profile/a.pfl", "<PROFILE/>");
  WriteFile(dir / "profiles.ini", "[a]\nCREATETIME=1\n");
  for (const char* name : {"Profile", "profiles.ini"}) fs::last_write_time(dir / name, kAnHourAgo);
  const CatalogueStamp before = CatalogueStamp::Take();
  GetParam().change(dir.path());
  EXPECT_EQ(before.SameFiles(CatalogueStamp::Take()), GetParam().same);
}

void ReplaceCatalogueKeepingSizeAndTime(const fs::path& data) {
  // Only the file's identity tells this one apart.
  WriteFile(data / "profiles.tmp", "[a]\nCREATETIME=2\n");
  fs::last_write_time(data / "profiles.tmp", kAnHourAgo);
  fs::rename(data / "profiles.tmp", data / "profiles.ini");
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CatalogueStampTest,
    ::testing::Values(
        StampCase{"Nothing", [](const fs::path&) {}, true},
        StampCase{"SchedulerLockWritten", [](const fs::path& d) { WriteFile(d / "scheduler.lock", "1\n"); }, true},
        StampCase{"LogSavedBesideTheCatalogue", [](const fs::path& d) { WriteFile(d / "run.log", "x\n"); }, true},
        StampCase{"CatalogueReplacedByRename", ReplaceCatalogueKeepingSizeAndTime, false},
        StampCase{"CatalogueRewrittenInPlaceAtAnotherTime",
                  [](const fs::path& d) {
                    WriteFile(d / "profiles.ini", "[a]\nCREATETIME=3\n");
                    fs::last_write_time(d / "profiles.ini", kAnHourAgo - std::chrono::hours(1));
                  },
                  false},
        StampCase{"CatalogueRemoved", [](const fs::path& d) { fs::remove(d / "profiles.ini"); }, false},
        StampCase{"ProfileAdded", [](const fs::path& d) { WriteFile(d / "Profile/b.pfl", "<PROFILE/>"); }, false},
        StampCase{"ProfileFolderRemoved", [](const fs::path& d) { fs::remove_all(d / "Profile"); }, false},
        // Written within the file system's clock tick of the stamp, the file could change again
        // without its time changing: such a stamp never vouches for the files.
        StampCase{"CatalogueJustWrittenAndLeftAlone",
                  [](const fs::path& d) {
                    WriteFile(d / "profiles.ini", "[a]\nCREATETIME=1\n");
                    const CatalogueStamp fresh = CatalogueStamp::Take();
                    EXPECT_FALSE(fresh.SameFiles(CatalogueStamp::Take()));
                  },
                  false}),
    [](const ::testing::TestParamInfo<StampCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tarnwick
