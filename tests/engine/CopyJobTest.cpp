#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/CopyJob.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

class CopyJobTest : public ::testing::Test {
 protected:
  void SetUp() override { run.job.localDestFolder = (dir / "dst").string(); }

  void AddFolder(const std::string& name, const std::string& filter, bool recursive) {
    run.job.localSources.push_back({(dir / name).string(), filter, ItemKind::LocalFolder, recursive});
  }
  void AddFile(const std::string& name) {
    run.job.localSources.push_back({(dir / name).string(), "", ItemKind::LocalFile, false});
  }
  std::string Src(const std::string& name) const { return (dir / name).string(); }

  TempDir dir;
  JobRun run;
};

TEST_F(CopyJobTest, ANoSourceJobLogsStartAndEndOnly) {
  run.job.localDestFolder = (dir / "new/dest").string();
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"BACKUPSTART Backup Start.", "BACKUPEND Backup End."}));
  EXPECT_TRUE(fs::is_directory(dir / "new/dest")) << "the destination chain is made first";
}

TEST_F(CopyJobTest, CopiesItemsInOrderAndGoesOnAfterAFailedFile) {
  WriteFile(dir / "docs/a.txt", "A");
  WriteFile(dir / "docs/skip.tmp", "T");
  WriteFile(dir / "docs/sub/b.txt", "B");
  WriteFile(dir / "single.txt", "S");
  fs::create_directories(dir / "docs/emptysub");
  fs::create_directories(dir / "dir-not-file");
  AddFile("missing.txt");
  AddFolder("docs", "+[*.txt]", true);
  AddFile("dir-not-file");
  AddFile("single.txt");

  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{
                            "BACKUPSTART Backup Start.",
                            "BACKUPFILE Backup file " + Src("missing.txt") + ".",
                            "ERROR Backup " + Src("missing.txt") + " Failed.",
                            "ERROR Reason: " + Src("missing.txt") + ": No such file or directory",
                            "BACKUPFILE Backup file " + Src("docs/sub/b.txt") + ".",
                            "BACKUPFILE Backup file " + Src("docs/a.txt") + ".",
                            "BACKUPFILE Backup file " + Src("dir-not-file") + ".",
                            "ERROR Backup " + Src("dir-not-file") + " Failed.",
                            "ERROR Reason: " + Src("dir-not-file") +
                                ": Not a regular file (a folder, device, pipe or link is never read)",
                            "BACKUPFILE Backup file " + Src("single.txt") + ".",
                            "BACKUPEND Backup End.",
                        }));
  EXPECT_EQ(ReadFile(dir / "dst/docs/a.txt"), "A");
  EXPECT_EQ(ReadFile(dir / "dst/docs/sub/b.txt"), "B");
  EXPECT_EQ(ReadFile(dir / "dst/single.txt"), "S");
  EXPECT_FALSE(fs::exists(dir / "dst/docs/skip.tmp"));
  EXPECT_TRUE(fs::is_directory(dir / "dst/docs/emptysub"));
  EXPECT_GE(run.observer.Clears(), 2);
}

TEST_F(CopyJobTest, AFolderItemEndingInASlashFillsTheDestinationItself) {
  WriteFile(dir / "root/r.txt", "R");
  run.job.localSources.push_back({(dir / "root").string() + "/", "+[*.*]", ItemKind::LocalFolder, false});
  run.job.localDestFolder = (dir / "dst").string();
  fs::create_directories(dir / "dst");
  RunCopyJob(run.context);
  EXPECT_EQ(ReadFile(dir / "dst/r.txt"), "R");
}

TEST_F(CopyJobTest, AStopDuringTheLastLocalFileEndsWithStoppedAndStartsNoRemoteSource) {
  WriteFile(dir / "old/big.bin", "previous backup");
  WriteFile(dir / "big.bin", std::string(5 * 1024 * 1024, 'b'));
  fs::rename(dir / "old", dir / "dst");
  AddFile("big.bin");
  run.job.remoteSources.push_back({FtpSite{"127.0.0.1", "1", "u", "p", "", "0", true}, {}});
  run.observer.onProgress = [this](long long) { run.stop = true; };

  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_STOPPED);
  EXPECT_EQ(run.Rows(),
            (std::vector<std::string>{"BACKUPSTART Backup Start.", "BACKUPFILE Backup file " + Src("big.bin") + ".",
                                      "BACKUPSTOPPED Backup has been stopped."}));
  EXPECT_EQ(ReadFile(dir / "dst/big.bin"), "previous backup");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "dst"), fs::directory_iterator()), 1);
}

TEST_F(CopyJobTest, AnUnreachableFtpDestinationEndsTheJobWithoutTouchingFiles) {
  WriteFile(dir / "a.txt", "A");
  AddFile("a.txt");
  run.job.destIsLocal = false;
  run.job.ftpDest = FtpSite{"127.0.0.1", "1", "user", "pw", "/backup", "1", false};
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_NO_FTP_DESTINATION);
  const auto rows = run.Rows();
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows.front(), "BACKUPSTART Backup Start.");
  EXPECT_EQ(rows.back(), "BACKUPEND Backup End.");
  const bool reportedFailure = std::any_of(rows.begin(), rows.end(), [](const std::string& r) {
    return r.rfind("ERROR ", 0) == 0 || r.rfind("CONNECTFAILED ", 0) == 0 || r.rfind("LOGINFAILED ", 0) == 0;
  });
  EXPECT_TRUE(reportedFailure);
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("BACKUPFILE", 0) == 0; }),
            0);
}

}  // namespace
}  // namespace tarnwick::test
