#include "formats/FileLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "formats/IniFile.h"
#include "support/ParallelProcesses.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using test::TempDir;

TEST(FileLock, ExcludesEveryOtherHolderUntilReleased) {
  TempDir dir;
  const std::string path = (dir / "shared.ini").string();
  {
    const CFileLock first(path);
    ASSERT_TRUE(first.Held()) << first.error();
    // Another holder in the same process is kept out just like another process.
    const CFileLock second(path, 50ms);
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(second.error(), EWOULDBLOCK);
  }
  EXPECT_TRUE(CFileLock(path, 50ms).Held());
  struct stat info {};
  ASSERT_EQ(::stat(CFileLock::LockPathOf(path).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_FALSE(CFileLock((dir / "no/such/folder/x").string()).Held()) << "no lock file, no lock";
}

// Forty processes each add their own key to one INI file at the same moment.
TEST(FileLock, ParallelReadModifyWritesKeepEveryChange) {
  TempDir dir;
  const std::string path = (dir / "shared.ini").string();
  constexpr int kProcesses = 40;
  const int done = test::RunInParallelProcesses(kProcesses, [&](int index) {
    CIniFile ini;
    if (!ini.LoadForUpdate(path, kAccountFileLimit).ok()) return false;
    ini.SetValue("S", "k" + std::to_string(index), "v");
    return ini.Save().ok();
  });
  ASSERT_EQ(done, kProcesses);
  CIniFile ini;
  ASSERT_TRUE(ini.Load(path, kAccountFileLimit, false).ok());
  for (int i = 0; i < kProcesses; ++i) EXPECT_EQ(ini.GetValue("S", "k" + std::to_string(i)), "v") << i;
}

}  // namespace
}  // namespace tarnwick
