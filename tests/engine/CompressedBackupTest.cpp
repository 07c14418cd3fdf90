#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/CompressedBackup.h"
#include "engine/JobDestination.h"
#include "support/TempDir.h"
#include "zip/ZipTestSupport.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// Asks the job to stop once it reports its first added file.
class StopAfterFirstAdd : public RecordingObserver {
 public:
  explicit StopAfterFirstAdd(std::atomic<bool>& stop) : stop_(stop) {}
  void OnStatusText(const std::string& text) override {
    RecordingObserver::OnStatusText(text);
    stop_.store(true);
  }

 private:
  std::atomic<bool>& stop_;
};

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(7);
  std::string bytes(size, '\0');
  for (auto& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class CompressedBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run.job.localDestFolder = (dir / "dst/nested").string();
    run.job.zipPath = (dir / "dst/nested/backup.zip").string();
    run.job.zipLevel = 5;
  }
  void AddFolder(const std::string& name, const std::string& filter, bool recursive) {
    run.job.localSources.push_back({(dir / name).string(), filter, ItemKind::LocalFolder, recursive});
  }
  void AddFile(const std::string& name) {
    run.job.localSources.push_back({(dir / name).string(), "", ItemKind::LocalFile, false});
  }
  std::string Src(const std::string& name) const { return (dir / name).string(); }
  // Files other than the archive in its folder: temporary archives must not be left behind.
  std::vector<std::string> LeftOvers(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
      if (item.path().filename() != "backup.zip") names.push_back(item.path().filename().string());
    }
    return names;
  }

  TempDir dir;
  JobRun run;
};

TEST_F(CompressedBackupTest, AJobWithoutSourcesWritesAnEmptyArchive) {
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"BACKUPSTART Backup Start.",
                                                  "COMPRESSFILE Compressing all files to " + run.job.zipPath + ".",
                                                  "BACKUPEND Backup End."}));
  EXPECT_EQ(fs::file_size(run.job.zipPath), 22u);
  EXPECT_TRUE(LeftOvers(dir / "dst/nested").empty());
}

TEST_F(CompressedBackupTest, FilesAndFoldersBecomeNamedEntries) {
  WriteFile(dir / "Data/report.doc", std::string(3000, 'r'));
  WriteFile(dir / "Data/x/y.txt", "why");
  WriteFile(dir / "Data/x/skip.bak", "no");
  WriteFile(dir / "Data/top.txt", "top");
  WriteFile(dir / "Data/x/deeper/z.txt", "zed");
  AddFile("Data/report.doc");
  AddFolder("Data", "+[*.txt]", true);
  AddFile("missing.txt");
  // An older archive is replaced whole.
  WriteFile(run.job.zipPath, "an older archive");

  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  const std::vector<std::string> rows = run.Rows();
  const std::vector<std::string> expectedRows = {"BACKUPSTART Backup Start.",
                                                 "BACKUPFILE Backup file " + Src("Data/report.doc") + ".",
                                                 "BACKUPFILE Backup file " + Src("Data/x/deeper/z.txt") + ".",
                                                 "BACKUPFILE Backup file " + Src("Data/x/y.txt") + ".",
                                                 "BACKUPFILE Backup file " + Src("Data/top.txt") + ".",
                                                 "BACKUPFILE Backup file " + Src("missing.txt") + ".",
                                                 "ERROR Backup " + Src("missing.txt") + " Failed.",
                                                 "COMPRESSFILE Compressing all files to " + run.job.zipPath + ".",
                                                 "BACKUPEND Backup End."};
  EXPECT_EQ(rows, expectedRows);
  // The size shown is the file's own, and is repeated for a file whose size cannot be read.
  const std::vector<std::string> texts = run.observer.Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "Adding " + Src("Data/report.doc") + " to zip, 2 KB");
  EXPECT_EQ(texts[4], "Adding " + Src("missing.txt") + " to zip, 0 KB");
  EXPECT_GE(run.observer.Clears(), 1);

  ExpectReadersAccept(run.job.zipPath, {{"report.doc", std::string(3000, 'r')},
                                        {"Data/x/y.txt", "why"},
                                        {"Data/x/deeper/z.txt", "zed"},
                                        {"Data/top.txt", "top"}});
  EXPECT_TRUE(LeftOvers(dir / "dst/nested").empty());
}

TEST_F(CompressedBackupTest, AStopKeepsTheEntriesAddedSoFarInAClosedArchive) {
  WriteFile(dir / "one.txt", "first");
  WriteFile(dir / "two.txt", "second");
  AddFile("one.txt");
  AddFile("two.txt");
  StopAfterFirstAdd observer(run.stop);
  JobContext context{run.job, run.log, observer, run.stop};
  EXPECT_EQ(RunZipJob(context), ZIPJOB_STOPPED);
  EXPECT_EQ(run.Rows(),
            (std::vector<std::string>{"BACKUPSTART Backup Start.", "BACKUPFILE Backup file " + Src("one.txt") + ".",
                                      "BACKUPSTOPPED Backup has been stopped."}));
  ExpectReadersAccept(run.job.zipPath, {{"one.txt", "first"}});
}

TEST_F(CompressedBackupTest, AnArchiveThatCannotBeCreatedEndsTheJob) {
  WriteFile(dir / "one.txt", "first");
  AddFile("one.txt");
  WriteFile(dir / "plainfile", "not a folder");
  run.job.localDestFolder = (dir / "plainfile").string();
  run.job.zipPath = (dir / "plainfile/backup.zip").string();
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_CANNOT_CREATE);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"BACKUPSTART Backup Start.",
                                                  "ERROR Cannot create destination compression file."}));

  JobRun unnamed;
  unnamed.job.localDestFolder = (dir / "dst").string();
  EXPECT_EQ(RunZipJob(unnamed.context), ZIPJOB_CANNOT_CREATE);
  EXPECT_EQ(unnamed.Rows().back(), "ERROR Cannot create destination compression file.");
}

TEST_F(CompressedBackupTest, AFullDiskEndsTheJobAndKeepsTheOlderArchive) {
  const fs::path small = dir / "small";
  fs::create_directories(small);
  if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "needs root to mount a small tmpfs";
  }
  WriteFile(dir / "big.bin", RandomBytes(3'000'000));
  AddFile("big.bin");
  run.job.localDestFolder = small.string();
  run.job.zipPath = (small / "backup.zip").string();
  WriteFile(run.job.zipPath, "the older archive");
  const int result = RunZipJob(run.context);
  const std::string kept = ReadFile(run.job.zipPath);
  const auto leftOvers = LeftOvers(small);
  ::umount2(small.c_str(), MNT_DETACH);

  EXPECT_EQ(result, ZIPJOB_WRITER_FAILED);
  EXPECT_EQ(kept, "the older archive");
  EXPECT_TRUE(leftOvers.empty());
  const std::vector<std::string> rows = run.Rows();
  // The failure may surface while adding or while finishing; either way it is the last row.
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "BACKUPEND Backup End."), 0);
  EXPECT_EQ(rows.back(),
            "ERROR Cannot write destination compression file " + run.job.zipPath + ": No space left on device.");
}

TEST_F(CompressedBackupTest, AnUnreachableFtpDestinationEndsBeforeAnyArchive) {
  WriteFile(dir / "one.txt", "first");
  AddFile("one.txt");
  run.job.destIsLocal = false;
  run.job.ftpDest.host = "127.0.0.1";
  run.job.ftpDest.port = "1";
  run.job.zipPath = "127.0.0.1/backups/backup.zip";
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_NO_FTP_DESTINATION);
  const std::vector<std::string> rows = run.Rows();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows.front(), "BACKUPSTART Backup Start.");
  EXPECT_EQ(rows.back(), "BACKUPEND Backup End.");
  EXPECT_EQ(RemoteArchivePath(run.job.zipPath, "127.0.0.1"), "/backups/backup.zip");
}

}  // namespace
}  // namespace tarnwick::test
