// The reading rule of every stored file (OpenStoredFile): never blocks, a regular file only, a size
// limit; and the readers built on it (INI file, lock file).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "formats/FileIo.h"
#include "formats/FileLock.h"
#include "formats/IniFile.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct NotRegularCase {
  const char* what;
  int flags;
  void (*plant)(const fs::path&);
};

std::ostream& operator<<(std::ostream& out, const NotRegularCase& c) { return out << c.what; }

class NotRegularTest : public ::testing::TestWithParam<NotRegularCase> {};

// A blocking open of a FIFO would hang here, for read and for write alike.
TEST_P(NotRegularTest, IsRefusedWithoutWaitingAndHoldsNoDescriptor) {
  TempDir dir;
  const fs::path path = dir / "stored";
  GetParam().plant(path);
  CFileDescriptor fd;
  const IoResult opened = OpenStoredFile(path.string(), kMiB, fd, GetParam().flags);
  EXPECT_EQ(opened.refusal, IoResult::Refusal::NotRegularFile);
  EXPECT_FALSE(opened.ok());
  EXPECT_FALSE(fd.valid());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NotRegularTest,
    ::testing::Values(
        NotRegularCase{"fifo read", O_RDONLY, [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        NotRegularCase{"fifo lock", O_RDWR | O_CREAT | O_NOFOLLOW,
                       [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        NotRegularCase{"fifo append", O_WRONLY | O_APPEND | O_CREAT,
                       [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        NotRegularCase{"link to /dev/zero", O_RDONLY, [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        NotRegularCase{"folder read", O_RDONLY, [](const fs::path& p) { fs::create_directory(p); }},
        NotRegularCase{"folder lock", O_RDWR | O_CREAT, [](const fs::path& p) { fs::create_directory(p); }},
        NotRegularCase{"link where none may be", O_RDONLY | O_NOFOLLOW, [](const fs::path& p) {
                         WriteFile(p.string() + ".real", "x");
                         fs::create_symlink(p.string() + ".real", p);
                       }}));

TEST(StoredFileLimit, AFileOverItsLimitIsRefusedBeforeItIsReadAndOneAtItIsReadWhole) {
  TempDir dir;
  const fs::path path = dir / "big";
  std::string text;
  // Sparse: far over the limit costs no disk, and a reader that tried would fill the memory.
  WriteFile(path, "");
  fs::resize_file(path, 64 * kMiB);
  const IoResult refused = ReadWholeFile(path.string(), kMiB, text);
  EXPECT_EQ(refused.refusal, IoResult::Refusal::TooLarge);
  EXPECT_EQ(refused.limit, kMiB);
  EXPECT_TRUE(text.empty());

  const std::string exact(1024, 'x');
  WriteFile(path, exact);
  ASSERT_TRUE(ReadWholeFile(path.string(), exact.size(), text).ok());
  EXPECT_EQ(text, exact);
}

TEST(StoredFileLimit, AFileThatGrowsPastItsLimitWhileReadIsRefused) {
  TempDir dir;
  const fs::path path = dir / "growing";
  WriteFile(path, "small");
  CFileDescriptor fd;
  ASSERT_TRUE(OpenStoredFile(path.string(), 100, fd).ok());
  WriteFile(path, std::string(101, 'y'));  // the same file, grown after the size check
  std::string text;
  EXPECT_EQ(ReadAllUpTo(fd.get(), 100, text).refusal, IoResult::Refusal::TooLarge);
  EXPECT_LE(text.size(), 100u);
}

TEST(StoredIniFile, OneOverItsLimitIsNeitherTakenNorReplacedByASave) {
  TempDir dir;
  const std::string path = (dir / "accounts.ini").string();
  const std::string stored = "[host]\nPASSWORD=secret\n" + std::string(200, ';');
  WriteFile(path, stored);
  CIniFile ini;
  EXPECT_EQ(ini.LoadForUpdate(path, 64).refusal, IoResult::Refusal::TooLarge);
  ini.SetValue("host", "PORT", "21");
  EXPECT_TRUE(ini.Save().ok());  // holds no file: writes nothing
  EXPECT_EQ(ReadFile(path), stored) << "the file as it was";
}

TEST(StoredIniFile, AFifoInPlaceOfTheFileIsRefusedAndNotReplaced) {
  TempDir dir;
  const fs::path path = dir / "ftpcerts.ini";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  CIniFile ini;
  EXPECT_EQ(ini.Load(path.string(), kAccountFileLimit, true).refusal, IoResult::Refusal::NotRegularFile);
  EXPECT_TRUE(ini.Path().empty());
  struct stat info {};
  ASSERT_EQ(::lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(StoredLockFile, AFifoAtTheLockFilesNameIsNoLock) {
  TempDir dir;
  const std::string path = (dir / "profiles.ini").string();
  ASSERT_EQ(::mkfifo(CFileLock::LockPathOf(path).c_str(), 0600), 0);
  const CFileLock lock(path);
  EXPECT_FALSE(lock.Held());
  EXPECT_EQ(lock.error(), EINVAL);
}

}  // namespace
}  // namespace tarnwick
